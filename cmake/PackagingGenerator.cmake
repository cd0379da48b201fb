# Read by cpack once for each generator: every package holds its own
# component only.
if(CPACK_GENERATOR STREQUAL "ZIP")
    set(CPACK_COMPONENTS_ALL windows)
    set(CPACK_PACKAGE_FILE_NAME "MP3_Sorvane-${CPACK_PACKAGE_VERSION}-windows")
elseif(CPACK_GENERATOR STREQUAL "DEB")
    set(CPACK_COMPONENTS_ALL debian)
endif()
