# tallybox_embed_version(<target> [LANGUAGE <key>] [DESCRIPTION <text>] [VERSION <a.b.c.d>])
#
# Gives an executable its version record: a small generated C file that places the record in
# the ELF section ".tallybox_version" (layout in settings/uVersionRecord.h), or on Windows a
# VERSIONINFO resource with the same texts, compiled by windres. The file is
# regenerated on every build, so "FileDate" is the date of the build, and rewritten only when
# its contents change, so an unchanged record costs no compile or link.
#   LANGUAGE     language and code page key of the string table (default 080904E4)
#   DESCRIPTION  "FileDescription" (default "Tallybox Utility")
#   VERSION      "FileVersion" (default the project version, padded to four numbers)
# Set SOURCE_DATE_EPOCH in the build's environment for a reproducible date.

set(TALLYBOX_VERSION_RECORD_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/GenVersionRecord.cmake)
set(TALLYBOX_VERSION_RECORD_VERSION ${PROJECT_VERSION})
if(WIN32)
  enable_language(RC)
  set(TALLYBOX_VERSION_RECORD_SUFFIX rc)
else()
  set(TALLYBOX_VERSION_RECORD_SUFFIX c)
endif()

function(tallybox_embed_version target)
  cmake_parse_arguments(V "" "LANGUAGE;DESCRIPTION;VERSION" "" ${ARGN})
  if(NOT V_LANGUAGE)
    set(V_LANGUAGE 080904E4)
  endif()
  if(NOT V_DESCRIPTION)
    set(V_DESCRIPTION "Tallybox Utility")
  endif()
  if(NOT V_VERSION)
    set(V_VERSION ${TALLYBOX_VERSION_RECORD_VERSION})
  endif()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_record.${TALLYBOX_VERSION_RECORD_SUFFIX})
  add_custom_target(${target}_version_record
    COMMAND ${CMAKE_COMMAND} -DOUTPUT=${out} -DLANGUAGE=${V_LANGUAGE}
            -DDESCRIPTION=${V_DESCRIPTION} -DVERSION=${V_VERSION}
            -P ${TALLYBOX_VERSION_RECORD_SCRIPT}
    BYPRODUCTS ${out}
    COMMENT "Version record of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
  add_dependencies(${target} ${target}_version_record)
endfunction()
