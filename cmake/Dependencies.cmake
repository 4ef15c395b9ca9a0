# Third-party dependencies, the same targets on every build:
#   deps::spdlog          spdlog compiled once per build tree over header-only fmt (each module keeps
#                         its own registry)
#   deps::hidapi          the real hidapi (hidraw natively, the Windows backend in cross builds)
#   deps::hidapi_headers  hidapi.h only
#   GTest::gtest, GTest::gmock, GTest::gtest_main  built from Debian's googletest sources
find_package(Threads REQUIRED)

# spdlog's out-of-line code is compiled once per build tree (header-only, it cost every file that
# logs about ten seconds); fmt stays header-only. Static, so every module keeps its own registry.
add_library(deps_spdlog STATIC ${CMAKE_CURRENT_LIST_DIR}/deps/spdlog_compiled.cpp)
add_library(deps::spdlog ALIAS deps_spdlog)
target_compile_definitions(deps_spdlog PUBLIC SPDLOG_FMT_EXTERNAL FMT_HEADER_ONLY SPDLOG_COMPILED_LIB)
target_link_libraries(deps_spdlog PUBLIC Threads::Threads)
if(CMAKE_CROSSCOMPILING)
  # Never /usr/include on a mingw include path: copy just the two header trees.
  set(VETRIN_DEPS_INCLUDE ${CMAKE_BINARY_DIR}/deps/include)
  foreach(dir spdlog fmt)
    if(NOT EXISTS ${VETRIN_DEPS_INCLUDE}/${dir})
      if(NOT EXISTS /usr/include/${dir})
        message(FATAL_ERROR "/usr/include/${dir} is missing: run scripts/setup")
      endif()
      file(COPY /usr/include/${dir} DESTINATION ${VETRIN_DEPS_INCLUDE})
    endif()
  endforeach()
  target_include_directories(deps_spdlog SYSTEM PUBLIC ${VETRIN_DEPS_INCLUDE})
endif()

if(CMAKE_CROSSCOMPILING)
  set(HIDAPI_VERSION 0.13.1)
  set(HIDAPI_TARBALL ${CMAKE_SOURCE_DIR}/.deps/hidapi_${HIDAPI_VERSION}.orig.tar.gz)
  set(HIDAPI_SRC ${CMAKE_BINARY_DIR}/deps/hidapi-hidapi-${HIDAPI_VERSION})
  # Our change to the Windows backend (why: see the patch's head). The source is extracted
  # afresh and patched whenever the patch differs from the one applied.
  set(HIDAPI_PATCH ${CMAKE_CURRENT_LIST_DIR}/deps/hidapi-windows-io.patch)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${HIDAPI_PATCH})
  file(SHA256 ${HIDAPI_PATCH} hidapi_patch_hash)
  set(hidapi_applied "")
  if(EXISTS ${HIDAPI_SRC}/patch.stamp)
    file(READ ${HIDAPI_SRC}/patch.stamp hidapi_applied)
  endif()
  if(NOT EXISTS ${HIDAPI_SRC}/windows/hid.c OR NOT hidapi_applied STREQUAL hidapi_patch_hash)
    if(NOT EXISTS ${HIDAPI_TARBALL})
      message(FATAL_ERROR "${HIDAPI_TARBALL} is missing: run scripts/setup")
    endif()
    file(REMOVE_RECURSE ${HIDAPI_SRC})
    file(ARCHIVE_EXTRACT INPUT ${HIDAPI_TARBALL} DESTINATION ${CMAKE_BINARY_DIR}/deps)
    find_program(PATCH_PROGRAM patch REQUIRED)
    execute_process(COMMAND ${PATCH_PROGRAM} -p1 --forward --input ${HIDAPI_PATCH}
                    WORKING_DIRECTORY ${HIDAPI_SRC} RESULT_VARIABLE hidapi_patch_result
                    OUTPUT_VARIABLE hidapi_patch_output ERROR_VARIABLE hidapi_patch_output)
    if(NOT hidapi_patch_result EQUAL 0)
      message(FATAL_ERROR "hidapi: ${HIDAPI_PATCH} does not apply:\n${hidapi_patch_output}")
    endif()
    file(WRITE ${HIDAPI_SRC}/patch.stamp ${hidapi_patch_hash})
  endif()
  add_library(deps_hidapi_headers INTERFACE)
  target_include_directories(deps_hidapi_headers SYSTEM INTERFACE ${HIDAPI_SRC}/hidapi ${HIDAPI_SRC}/windows)
  add_library(deps_hidapi STATIC ${HIDAPI_SRC}/windows/hid.c)
  target_link_libraries(deps_hidapi PUBLIC deps_hidapi_headers)
  set_target_properties(deps_hidapi PROPERTIES C_VISIBILITY_PRESET default POSITION_INDEPENDENT_CODE ON)
  target_compile_options(deps_hidapi PRIVATE -w -UWIN32_LEAN_AND_MEAN)
  # hidapi.h marks its functions dllexport on Windows; without this, every DLL that links
  # hidapi would export them too. Dropping the export directives keeps them internal.
  add_custom_command(TARGET deps_hidapi POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --remove-section=.drectve $<TARGET_FILE:deps_hidapi>
    VERBATIM)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(HIDAPI_HIDRAW REQUIRED IMPORTED_TARGET hidapi-hidraw)
  add_library(deps_hidapi_headers INTERFACE)
  target_include_directories(deps_hidapi_headers SYSTEM INTERFACE ${HIDAPI_HIDRAW_INCLUDE_DIRS})
  add_library(deps_hidapi INTERFACE)
  target_link_libraries(deps_hidapi INTERFACE PkgConfig::HIDAPI_HIDRAW)
endif()
# The header alone: test programs link the device emulator, which defines the same hid_* functions.
add_library(deps::hidapi_headers ALIAS deps_hidapi_headers)
add_library(deps::hidapi ALIAS deps_hidapi)

if(VETRIN_BUILD_TESTS)
  if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
    message(FATAL_ERROR "/usr/src/googletest is missing: run scripts/setup")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/deps/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()
