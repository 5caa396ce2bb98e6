# Shared compile settings and the source-collection rule for our libraries.
#
# A library lists the sub-folders that hold portable code (built everywhere,
# also natively under the sanitizers) and those that hold Windows-only code.
# Files found there join the target without further edits to CMake.

add_library(korvane_settings INTERFACE)
target_include_directories(korvane_settings INTERFACE
  ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
target_compile_options(korvane_settings INTERFACE -Wall -Wextra)
if(WIN32)
  target_compile_definitions(korvane_settings INTERFACE
    UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  target_link_options(korvane_settings INTERFACE
    -static -static-libgcc -static-libstdc++ -Wl,--dynamicbase -Wl,--nxcompat)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    target_link_options(korvane_settings INTERFACE -Wl,--high-entropy-va)
  endif()
elseif(KORVANE_SANITIZE)
  set(_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_compile_options(korvane_settings INTERFACE ${_san})
  target_link_options(korvane_settings INTERFACE ${_san})
endif()

function(korvane_library name)
  cmake_parse_arguments(ARG "" "" "PORTABLE;WINDOWS;DEPENDS" ${ARGN})
  set(dirs ${ARG_PORTABLE})
  if(WIN32)
    list(APPEND dirs ${ARG_WINDOWS})
  endif()
  set(sources)
  foreach(dir IN LISTS dirs)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC korvane_settings ${ARG_DEPENDS})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE korvane_settings ${ARG_DEPENDS})
  endif()
endfunction()
