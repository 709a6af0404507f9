#!/bin/sh
# Runs once before any project is built: makes sure the builds folder exists.
mkdir -p "$(dirname "$0")/../builds"
echo "  before-all: builds folder ready"
