#!/usr/bin/env bash
# Prints the compile flags of the project's release builds: Debian's hardening flags without
# debug information and without the build path (debian/rules asks dpkg-buildflags for the same),
# so that the Debian package build and the virtual-environment install find this build's
# objects in ccache. Prints nothing where dpkg-buildflags is missing.
# Usage: CXXFLAGS=$(scripts/build-flags.sh)
command -v dpkg-buildflags >/dev/null || exit 0
export DEB_BUILD_MAINT_OPTIONS="hardening=+all reproducible=-fixfilepath,-fixdebugpath" DEB_CXXFLAGS_MAINT_STRIP="-g -O2"
# debhelper's CMake build appends the preprocessor flags to the compiler flags, in this order.
echo "$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
