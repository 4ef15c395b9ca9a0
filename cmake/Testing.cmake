# vetrin_add_test(NAME SOURCES... [LIBS libs...])
# One test program is one CTest test: under Wine every process start costs seconds, so the
# program runs all of its cases in one go.

# The test programs that also run on the 32-bit release build, where every Windows process is
# emulated (several times slower): those where bitness matters. The others are built there too,
# so their code is compiled for i686, but not run.
set(VETRIN_I686_TESTS
  quentrax_capi_tests   # the C interface: standard-call exports and their decorated names
  quentrax_dll_tests    # the same through the DLL, as a 32-bit host loads it
  snarel_tests          # the hook library across processes: 32-bit HAMLOG stand-in and receiver
  logging_tests         # the program's loggers handed over through the import library
  settings_tests
  send_queue_tests
  app_model_tests       # the model: notification parameters, standard-call C functions, pacing
  app_loader_tests      # the program's loader: the decorated standard-call names, C++ objects by value
  quentrax_exit_host    # the library's process-exit and unload paths
  quentrax_unload_host
  quentrax_unload_open_host
  quentrax_unload_write_pending_host
  hidapi_overlapped_tests  # the release's hidapi backend over standard-call stand-ins
  quentrax_sdk_demo     # the kit's example with the C interface, over the 32-bit emulator
  virtual_quentrax_test # the virtual interface as the 32-bit program loads it
  tracker_tests         # HAMLOG's windows, keys and fields through the 32-bit hook library
  app_controller_tests  # the program's wiring with the 32-bit stand-ins
  e2e_tests             # the release's Vetrin.exe, Snarel.dll and virtual quentrax.dll
)

if(CMAKE_CROSSCOMPILING)
  set(VETRIN_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(VETRIN_WINE_ARCH win32)
  else()
    set(VETRIN_WINE_ARCH win64)
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_SOURCE_DIR}/cmake/wine-run.sh --${VETRIN_WINE_ARCH} ${VETRIN_WINEPREFIX})
endif()

# vetrin_register_test(NAME COMMAND...): a CTest test for a program that is not a GoogleTest
# program; on the 32-bit build only when listed above.
function(vetrin_register_test name)
  if(VETRIN_WINE_ARCH STREQUAL "win32" AND NOT name IN_LIST VETRIN_I686_TESTS)
    return()
  endif()
  add_test(NAME ${name} COMMAND ${ARGN})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  # The label tells which architecture the test ran on (ctest's label summary).
  set_tests_properties(${name} PROPERTIES LABELS ${CMAKE_SYSTEM_PROCESSOR})
endfunction()

function(vetrin_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
  vetrin_register_test(${name} ${name} --gtest_brief=1)
endfunction()

# vetrin_add_test_run(NAME SUFFIX [COPY] [DPI dpi] FILTER pattern): the cases of the test program
# NAME that FILTER picks, run once more as the test NAME_SUFFIX under other conditions: on a
# screen of another DPI (in a prefix of its own, wineprefix-<dpi>dpi), or as a copy of the program
# named NAME_SUFFIX.exe, which the prefix's settings single out (cmake/wine-prefix.reg).
function(vetrin_add_test_run name suffix)
  cmake_parse_arguments(ARG "COPY" "DPI;FILTER" "" ${ARGN})
  if(NOT TEST ${name})
    return()
  endif()
  set(program $<TARGET_FILE:${name}>)
  if(ARG_COPY)
    set(program $<TARGET_FILE_DIR:${name}>/${name}_${suffix}.exe)
    add_custom_command(TARGET ${name} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${name}> ${program})
  endif()
  set(prefix ${VETRIN_WINEPREFIX})
  set(options --${VETRIN_WINE_ARCH})
  set(dpi 96)
  if(ARG_DPI)
    set(prefix ${CMAKE_BINARY_DIR}/wineprefix-${ARG_DPI}dpi)
    set(dpi ${ARG_DPI})
    list(APPEND options --dpi ${ARG_DPI})
  endif()
  add_test(NAME ${name}_${suffix}
    COMMAND ${PROJECT_SOURCE_DIR}/cmake/wine-run.sh ${options} ${prefix} ${program}
            --gtest_brief=1 --gtest_filter=${ARG_FILTER})
  # The program checks that it got the screen it was meant for.
  set_tests_properties(${name}_${suffix} PROPERTIES TIMEOUT 300 LABELS ${CMAKE_SYSTEM_PROCESSOR}
    ENVIRONMENT VETRIN_SCREEN_DPI=${dpi})
endfunction()

# The direction of includes between the layers (docs/architecture.md, "Layers and the include
# rule"): once per test run, with the native set.
if(NOT CMAKE_CROSSCOMPILING AND NOT VETRIN_TSAN)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_test(NAME layers COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/check-layers)
  set_tests_properties(layers PROPERTIES LABELS ${CMAKE_SYSTEM_PROCESSOR})
endif()
