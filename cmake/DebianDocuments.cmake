# Run by CPack on the staged files: adds the copyright file and the changelog that Debian's
# policy asks of every package, beside the licence and the read-me.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
cmake_policy(SET CMP0007 NEW)  # keep the licence's blank lines in the list
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(docs "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/${CPACK_MERIDIAL_DOCDIR}")

# The licence in the machine-readable copyright format: "Expat" is Debian's name for MIT.
file(STRINGS "${CPACK_MERIDIAL_LICENSE}" lines)
list(REMOVE_AT lines 0 1 2 3)  # "MIT License", blank, the copyright line, blank
set(text "")
foreach(line IN LISTS lines)
  if(line STREQUAL "")
    string(APPEND text " .\n")
  else()
    string(APPEND text " ${line}\n")
  endif()
endforeach()
string(TIMESTAMP year "%Y" UTC)
file(WRITE "${docs}/copyright"
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${CPACK_PACKAGE_NAME}
Upstream-Contact: ${CPACK_PACKAGE_CONTACT}

Files: *
Copyright: ${year} ${CPACK_PACKAGE_VENDOR}
License: Expat
${text}")

# SOURCE_DATE_EPOCH, when set, makes the stamp and so the package reproducible.
string(TIMESTAMP stamp "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE "${docs}/changelog.Debian"
"${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}) unstable; urgency=medium

  * Package built by CPack from the upstream sources.

 -- ${CPACK_PACKAGE_CONTACT}  ${stamp}
")
execute_process(COMMAND ${GZIP_EXECUTABLE} -9nf "${docs}/changelog.Debian" COMMAND_ERROR_IS_FATAL ANY)
