# Applies TALLYBOX_SANITIZE (a comma list such as "address,undefined" or "thread") to every
# target of this project, and the libFuzzer coverage hooks when TALLYBOX_FUZZ is on.
if(TALLYBOX_FUZZ AND NOT TALLYBOX_SANITIZE)
  set(TALLYBOX_SANITIZE address,undefined)
endif()
if(TALLYBOX_SANITIZE)
  add_compile_options(-fsanitize=${TALLYBOX_SANITIZE} -fno-omit-frame-pointer -g)
  if(TALLYBOX_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
  add_link_options(-fsanitize=${TALLYBOX_SANITIZE})
  # Tests that size work or memory for a normal build take less, or skip the memory figure.
  add_compile_definitions(TALLYBOX_SANITIZED)
endif()
if(TALLYBOX_FUZZ)
  # Only the fuzz targets link the fuzzer's own main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
