// A shared library without CORVPluginMain: the plugin host skips it.
extern "C" int NotAPluginFunction() {
  return 1;
}
