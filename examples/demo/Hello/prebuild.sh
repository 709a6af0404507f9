#!/bin/sh
# Hello's own pre-build step: runs before the project copy is handed to the IDE.
echo "Hello: preparing the build" >>"$(dirname "$0")/../build-log.txt"
