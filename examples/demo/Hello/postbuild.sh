#!/bin/sh
# Hello's own post-build step: gets the project copy, then every product.
copy=$1
shift
echo "Hello: built from $(basename "$copy"): $*" >>"$(dirname "$0")/../build-log.txt"
