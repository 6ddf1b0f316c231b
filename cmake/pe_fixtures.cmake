# Real PE images with and without a version resource, built with the MinGW
# cross tools at build time, for tests of the version reader.
#   qor_pe_fixtures(<target> <output folder> CXX <g++> WINDRES <windres> LD <ld>)
# makes the custom target <target> that builds into <output folder>:
#   versioned64.exe  (file version 1.2.3.4)     plain64.exe   (no resources)
#   strings64.exe    (resources, no version)    versioned32.exe (1.2.3.4, PE32)
#   wide32.exe       (65535.256.0.40000, PE32)
# and icon libraries, their icons drawn by make_icons.py (PYTHON runs it):
#   icons64.dll (bitmaps and a PNG)   bitmap_icons64.dll (bitmaps only)
#   big_icon64.dll (a picture over the reader's limit)   no_icon64.dll
function(qor_pe_fixtures target out)
  cmake_parse_arguments(arg "" "CXX;WINDRES;LD;PYTHON" "" ${ARGN})
  set(src ${PROJECT_SOURCE_DIR}/tests/portable/pe/fixtures)
  file(MAKE_DIRECTORY ${out})
  set(images)
  # name, rc file (or "" for none), 32 or 64
  foreach(fixture "versioned64;versioned.rc;64" "plain64;;64" "strings64;strings_only.rc;64"
                  "versioned32;versioned.rc;32" "wide32;wide_words.rc;32")
    list(GET fixture 0 name)
    list(GET fixture 1 rc)
    list(GET fixture 2 bits)
    set(exe ${out}/${name}.exe)
    if(bits EQUAL 32)
      add_custom_command(OUTPUT ${exe}
        COMMAND ${arg_WINDRES} -F pe-i386 ${src}/${rc} -o ${out}/${name}.o
        COMMAND ${arg_LD} -m i386pe -s -T ${src}/pe32.ld --entry=0 -o ${exe} ${out}/${name}.o
        DEPENDS ${src}/${rc} ${src}/pe32.ld VERBATIM)
    elseif(rc STREQUAL "")
      add_custom_command(OUTPUT ${exe}
        COMMAND ${arg_CXX} -Os -s ${src}/hello.cpp -o ${exe}
        DEPENDS ${src}/hello.cpp VERBATIM)
    else()
      add_custom_command(OUTPUT ${exe}
        COMMAND ${arg_WINDRES} ${src}/${rc} -o ${out}/${name}.o
        COMMAND ${arg_CXX} -Os -s ${src}/hello.cpp ${out}/${name}.o -o ${exe}
        DEPENDS ${src}/hello.cpp ${src}/${rc} VERBATIM)
    endif()
    list(APPEND images ${exe})
  endforeach()
  set(icons ${out}/app.ico ${out}/bitmaps.ico ${out}/big.ico)
  add_custom_command(OUTPUT ${icons}
    COMMAND ${arg_PYTHON} ${src}/make_icons.py ${out}
    DEPENDS ${src}/make_icons.py VERBATIM)
  foreach(library "icons64;icon.rc" "bitmap_icons64;bitmap_icon.rc" "big_icon64;big_icon.rc"
                  "no_icon64;strings_only.rc")
    list(GET library 0 name)
    list(GET library 1 rc)
    set(dll ${out}/${name}.dll)
    add_custom_command(OUTPUT ${dll}
      COMMAND ${arg_WINDRES} -I ${out} ${src}/${rc} -o ${out}/${name}.o
      COMMAND ${arg_CXX} -shared -Os -s ${src}/hello.cpp ${out}/${name}.o -o ${dll}
      DEPENDS ${src}/hello.cpp ${src}/${rc} ${icons} VERBATIM)
    list(APPEND images ${dll})
  endforeach()
  add_custom_target(${target} DEPENDS ${images})
endfunction()
