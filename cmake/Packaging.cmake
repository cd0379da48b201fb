# The packages users get, made by `cmake --build <dir> --target package` in a
# 32-bit build:
#   MP3_Sorvane-<version>-win32.zip  the program and a read-me, for Windows
#   mp3-sorvane_<version>_i386.deb   the program with a launcher that starts
#                                    it under Wine (made on Linux hosts only)
# Each package takes one install component; nothing else in the tree installs
# into those two, so tests, benchmarks and GoogleTest stay out.
if(NOT TARGET MP3_Sorvane)
    return()
endif()
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
    message(STATUS "packaging: packages are made from the 32-bit build only")
    return()
endif()

set(_pkg_src ${CMAKE_SOURCE_DIR}/packaging)
set(_pkg_out ${CMAKE_BINARY_DIR}/packaging)

# The program without its symbols, stripped once so that both packages hold
# the very same file (strip stamps the time into the header it writes).
set(_pkg_exe ${_pkg_out}/MP3_Sorvane.exe)
if(CMAKE_STRIP)
    add_custom_command(OUTPUT ${_pkg_exe}
        COMMAND ${CMAKE_STRIP} -o ${_pkg_exe} $<TARGET_FILE:MP3_Sorvane>
        DEPENDS MP3_Sorvane VERBATIM)
else()
    add_custom_command(OUTPUT ${_pkg_exe}
        COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:MP3_Sorvane> ${_pkg_exe}
        DEPENDS MP3_Sorvane VERBATIM)
endif()
set(_pkg_built ${_pkg_exe})

# Windows: the read-me in CRLF lines with a byte order mark, so that Notepad
# of any Windows version shows its Korean.
configure_file(${_pkg_src}/README-windows.txt.in ${_pkg_out}/README.txt @ONLY NEWLINE_STYLE WIN32)
install(PROGRAMS ${_pkg_exe} DESTINATION . COMPONENT windows)
install(FILES ${_pkg_out}/README.txt DESTINATION . COMPONENT windows)

set(CPACK_GENERATOR ZIP)

if(NOT CMAKE_HOST_WIN32)
    file(STRINGS ${_pkg_src}/changelog _pkg_changelog_top LIMIT_COUNT 1)
    string(REPLACE "." "\\." _pkg_version_re "${PROJECT_VERSION}")
    if(NOT _pkg_changelog_top MATCHES "^mp3-sorvane \\(${_pkg_version_re}\\) ")
        message(WARNING "packaging/changelog has no entry for version ${PROJECT_VERSION} at its top")
    endif()

    add_custom_command(OUTPUT ${_pkg_out}/icons.stamp
        COMMAND sh ${_pkg_src}/ico-to-png.sh ${CMAKE_SOURCE_DIR}/res/MP3Sorvane.ico ${_pkg_out}/icons mp3-sorvane
        COMMAND ${CMAKE_COMMAND} -E touch ${_pkg_out}/icons.stamp
        DEPENDS ${CMAKE_SOURCE_DIR}/res/MP3Sorvane.ico ${_pkg_src}/ico-to-png.sh
        COMMENT "Icons for the desktop from the program's icon" VERBATIM)
    list(APPEND _pkg_built ${_pkg_out}/icons.stamp)
    foreach(doc changelog mp3-sorvane.1)
        add_custom_command(OUTPUT ${_pkg_out}/${doc}.gz
            COMMAND ${CMAKE_COMMAND} -E copy ${_pkg_src}/${doc} ${_pkg_out}/${doc}
            COMMAND gzip -9nf ${_pkg_out}/${doc}
            DEPENDS ${_pkg_src}/${doc} VERBATIM)
        list(APPEND _pkg_built ${_pkg_out}/${doc}.gz)
    endforeach()

    # Paths below are under /usr.
    # Wine reads the program; nothing executes it directly.
    install(FILES ${_pkg_exe} DESTINATION lib/mp3-sorvane COMPONENT debian)
    install(PROGRAMS ${_pkg_src}/mp3-sorvane.sh DESTINATION bin RENAME mp3-sorvane COMPONENT debian)
    install(FILES ${_pkg_src}/mp3-sorvane.desktop DESTINATION share/applications COMPONENT debian)
    install(DIRECTORY ${_pkg_out}/icons/ DESTINATION share/icons/hicolor COMPONENT debian)
    install(FILES ${_pkg_out}/mp3-sorvane.1.gz DESTINATION share/man/man1 COMPONENT debian)
    install(FILES ${_pkg_src}/copyright ${_pkg_out}/changelog.gz
        DESTINATION share/doc/mp3-sorvane COMPONENT debian)

    list(APPEND CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_PACKAGE_NAME mp3-sorvane)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    # The program is 32-bit x86 code, and so is the Wine that runs it: wine32
    # exists for i386 only. On amd64 Debian with i386 added (the way Wine's
    # own 32-bit part is installed) this package installs as a foreign one;
    # every dependency below is i386 itself or marked as usable from any
    # architecture.
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE i386)
    # wine32 runs the program; fonts-nanum draws its Hangul; locales-all has
    # ko_KR.UTF-8, which Wine needs to show Korean texts and file names; tk
    # draws the launcher's messages, Hangul included.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "wine, wine32, fonts-nanum, locales-all, tk")
    set(CPACK_DEBIAN_PACKAGE_SECTION sound)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${SORVANE_SITE_BASE}")
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
endif()
add_custom_target(sorvane_package_files ALL DEPENDS ${_pkg_built})

set(CPACK_PACKAGE_NAME mp3-sorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "MP3 Sorvane developers")
set(CPACK_PACKAGE_CONTACT "MP3 Sorvane maintainers <maintainers@sorvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "gather scattered MP3 files into artist and album folders")
set(CPACK_PACKAGE_DESCRIPTION "MP3 Sorvane lists every MP3 file below a folder with its ID3v1 tag and
copies or moves each one into a destination folder: one folder per artist
and, inside it, one per album. It never overwrites a file, leaves duplicates
where they are, and lets a file's tag be corrected on the spot.

It is a Windows program with Korean texts; this package starts it under Wine
in a Wine prefix of each user's own.")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
# Component installs, so that a package gets only the components chosen for
# it (a monolithic install would take every one), and those in one file.
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
# Which component each generator packs is chosen there.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/PackagingGenerator.cmake)
include(CPack)
