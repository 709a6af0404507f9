#!/bin/sh
# Runs once before any project is built: makes sure the builds folder exists
# and starts the run's log (what a script prints is not shown by kilnrun).
here=$(dirname "$0")/..
mkdir -p "$here/builds"
echo "before-all: builds folder ready" >"$here/build-log.txt"
