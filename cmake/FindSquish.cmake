# find_package(Squish): libsquish, the DXT block codec, as Squish::Squish.
# Debian's pkg-config file for it names a wrong include folder, so the
# header and library are looked up directly.
find_path(SQUISH_INCLUDE_DIR squish.h)
find_library(SQUISH_LIBRARY NAMES squish)
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Squish REQUIRED_VARS SQUISH_LIBRARY SQUISH_INCLUDE_DIR)
if(Squish_FOUND AND NOT TARGET Squish::Squish)
  add_library(Squish::Squish UNKNOWN IMPORTED)
  set_target_properties(Squish::Squish PROPERTIES
    IMPORTED_LOCATION "${SQUISH_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${SQUISH_INCLUDE_DIR}")
endif()
mark_as_advanced(SQUISH_INCLUDE_DIR SQUISH_LIBRARY)
