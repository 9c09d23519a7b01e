# Sanitizers and libFuzzer instrumentation for every target of the build
# (clang only). CI builds a second tree with them:
#   -DORVO_SANITIZE=address,undefined  the whole suite runs under ASan+UBSan;
#                                      undefined behaviour stops the program
#   -DORVO_FUZZ=ON                     adds the libFuzzer targets of fuzz/;
#                                      every library gets the fuzzer's
#                                      coverage instrumentation
set(ORVO_SANITIZE "" CACHE STRING
    "Sanitizers for every target, as -fsanitize takes them (clang), e.g. address,undefined")
option(ORVO_FUZZ "Build the libFuzzer targets (clang, with ORVO_SANITIZE)" OFF)

if((ORVO_SANITIZE OR ORVO_FUZZ) AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "ORVO_SANITIZE and ORVO_FUZZ need clang (-DCMAKE_CXX_COMPILER=clang++)")
endif()
if(ORVO_FUZZ AND NOT ORVO_SANITIZE)
  message(FATAL_ERROR "ORVO_FUZZ needs ORVO_SANITIZE (e.g. address,undefined)")
endif()

if(ORVO_SANITIZE)
  # Frame pointers give the leak checker's fast unwinder whole stacks.
  add_compile_options(-fsanitize=${ORVO_SANITIZE} -fno-omit-frame-pointer)
  if(ORVO_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
  add_link_options(-fsanitize=${ORVO_SANITIZE})
endif()
if(ORVO_FUZZ)
  # Coverage for the fuzzer in every library; the fuzz targets link the
  # libFuzzer runtime themselves (-fsanitize=fuzzer), the rest of the build
  # gets the sanitizers' inert stand-ins for the coverage callbacks.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
