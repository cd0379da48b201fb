# The packages users get, made by `cmake --build <dir> --target package`:
#   in a 64-bit build
#     mp3-sorvane_<version>_amd64.deb   the 64-bit program with a launcher that
#                                       starts it under 64-bit Wine
#   in a 32-bit build
#     mp3-sorvane_<version>_i386.deb    the same for 32-bit systems
#     MP3_Sorvane-<version>-windows.zip the 32-bit program, which runs on every
#                                       Windows, the 64-bit one of the 64-bit
#                                       build named by SORVANE_WIN64_BUILD, and
#                                       a read-me
# The .deb files are made on Linux hosts only. Each package takes one install
# component; nothing else in the tree installs into those, so tests,
# benchmarks and GoogleTest stay out.
if(NOT TARGET MP3_Sorvane)
    return()
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(_pkg_bits 32)
    set(_pkg_deb_arch i386)
    set(_pkg_wine wine32)
else()
    set(_pkg_bits 64)
    set(_pkg_deb_arch amd64)
    set(_pkg_wine wine64)
    if(CMAKE_HOST_WIN32)
        message(STATUS "packaging: the Windows zip is made in the 32-bit build")
        return()
    endif()
endif()
set(SORVANE_WIN64_BUILD "" CACHE PATH
    "A 64-bit build of these sources whose program the 32-bit build's Windows zip takes")

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
add_custom_target(sorvane_package_program DEPENDS ${_pkg_exe})

set(CPACK_GENERATOR)
if(_pkg_bits EQUAL 32)
    # Windows: both programs, named for the Windows each one needs, and the
    # read-me in CRLF lines with a byte order mark, so that Notepad of any
    # Windows version shows its Korean.
    configure_file(${_pkg_src}/README-windows.txt.in ${_pkg_out}/README.txt @ONLY NEWLINE_STYLE WIN32)
    install(PROGRAMS ${_pkg_exe} DESTINATION . RENAME MP3_Sorvane_32bit.exe COMPONENT windows)
    install(FILES ${_pkg_out}/README.txt DESTINATION . COMPONENT windows)
    if(SORVANE_WIN64_BUILD)
        if(NOT EXISTS ${SORVANE_WIN64_BUILD}/CMakeCache.txt)
            message(FATAL_ERROR "packaging: SORVANE_WIN64_BUILD=${SORVANE_WIN64_BUILD} is not a configured build")
        endif()
        # Brought up to date at every build: that tree's sources are these.
        set(_pkg_exe64 ${_pkg_out}/MP3_Sorvane_64bit.exe)
        add_custom_target(sorvane_package_win64 ALL
            COMMAND ${CMAKE_COMMAND} --build ${SORVANE_WIN64_BUILD} --target sorvane_package_program
            COMMAND ${CMAKE_COMMAND} -E copy_if_different ${SORVANE_WIN64_BUILD}/packaging/MP3_Sorvane.exe ${_pkg_exe64}
            BYPRODUCTS ${_pkg_exe64}
            COMMENT "The 64-bit program from ${SORVANE_WIN64_BUILD}" VERBATIM)
        install(PROGRAMS ${_pkg_exe64} DESTINATION . COMPONENT windows)
        list(APPEND CPACK_GENERATOR ZIP)
    else()
        message(STATUS "packaging: no Windows zip without SORVANE_WIN64_BUILD, a 64-bit build whose program it takes")
    endif()
endif()

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
    # The Wine that runs the program is of its architecture: wine64 needs no
    # i386 part on amd64, wine32 is the whole of Wine on i386.
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${_pkg_deb_arch})
    # wine runs the program (and brings wineserver); fonts-nanum draws its
    # Hangul; locales-all has ko_KR.UTF-8, which Wine needs to show Korean
    # texts and file names; tk draws the launcher's messages, Hangul included;
    # the other faces draw names outside Hangul (accents, kanji, symbols).
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "wine, ${_pkg_wine}, fonts-nanum, fonts-dejavu-core, fonts-wqy-microhei, fonts-symbola, locales-all, tk")
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
