# The Win32 platform files of corvrt (paths from runtime/). Two of the POSIX
# files are portable as they stand: stdio alone, and the compiler's own
# frame address.
set(corvrt_platform_sources
  platform/windows/wide.cc
  platform/windows/path.cc
  platform/windows/error_codes.cc
  platform/windows/clock.cc
  platform/windows/stop_signals.cc
  platform/windows/target.cc
  platform/windows/debug_log.cc
  platform/windows/console.cc
  platform/windows/system_locale.cc
  platform/windows/code_pages.cc
  platform/windows/special_folders.cc
  platform/windows/local_time.cc
  platform/windows/file_handle.cc
  platform/windows/file_info.cc
  platform/windows/directory.cc
  platform/windows/file_transfer.cc
  platform/windows/fiber.cc
  platform/windows/memory.cc
  platform/windows/dynamic_library.cc
  platform/windows/symbols.cc
  platform/windows/executable.cc
  platform/pe_resources.cc
  platform/windows/date_format.cc
  platform/windows/socket.cc
  platform/windows/detach.cc
  platform/posix/console_stream.cc
  platform/posix/stack.cc
)
