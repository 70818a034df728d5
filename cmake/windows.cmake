# veltrik.exe: the window and the Win32 platform on top of the core.
enable_language(RC)

# Windows XP is the oldest system the program runs on; newer calls are looked
# up at run time.
set(VELTRIK_WIN32_DEFINITIONS UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 WINVER=0x0501)

# The platform's operations on the Win32 API, for the program and the benchmarks that run its code.
add_library(veltrik_win32 STATIC
  platform/win32/desktop_shell.cc
  platform/win32/files.cc
  platform/win32/processes.cc
  platform/win32/registry.cc
  platform/win32/text.cc
  platform/win32/win32_platform.cc
)
target_compile_definitions(veltrik_win32 PUBLIC ${VELTRIK_WIN32_DEFINITIONS})
target_link_libraries(veltrik_win32 PUBLIC veltrik_core ole32 oleaut32 uuid)

add_executable(veltrik WIN32
  platform/win32/load_config.cc
  platform/win32/main.cc
  platform/win32/main_window.cc
  platform/win32/no_exceptions.cc
  resources/veltrik.rc
)
# Built for size: nothing here throws or catches, so neither exception
# tables nor run-time type data are needed.
set(VELTRIK_SIZE_OPTIONS -Os -ffunction-sections -fdata-sections -fno-exceptions -fno-rtti
    -fno-asynchronous-unwind-tables -fno-unwind-tables)
target_compile_options(veltrik_core PRIVATE ${VELTRIK_SIZE_OPTIONS})
target_compile_options(veltrik_win32 PRIVATE ${VELTRIK_SIZE_OPTIONS})
target_compile_options(veltrik PRIVATE ${VELTRIK_SIZE_OPTIONS})
target_include_directories(veltrik PRIVATE ${PROJECT_SOURCE_DIR}/resources)
target_link_libraries(veltrik PRIVATE veltrik_win32 comctl32)
if(MINGW)
  # One self-contained program file: no MinGW runtime DLLs beside it. No time
  # stamp, so that the same source builds the same bytes anywhere.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(VELTRIK_LOAD_CONFIG __load_config_used)
  else()
    set(VELTRIK_LOAD_CONFIG _load_config_used)
  endif()
  target_link_options(veltrik PRIVATE -static -static-libgcc -static-libstdc++ -s -Wl,--gc-sections
    -Wl,--no-insert-timestamp -Wl,--undefined=${VELTRIK_LOAD_CONFIG} -Wl,-Map=${CMAKE_CURRENT_BINARY_DIR}/veltrik.map)
  # The linker leaves the load configuration directory empty.
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_custom_command(TARGET veltrik POST_BUILD
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/set_load_config.py $<TARGET_FILE:veltrik>
            ${CMAKE_CURRENT_BINARY_DIR}/veltrik.map
    VERBATIM)
endif()
file(GLOB VELTRIK_TEMPLATES ${PROJECT_SOURCE_DIR}/resources/safeboot_*.reg)
set_source_files_properties(resources/veltrik.rc PROPERTIES OBJECT_DEPENDS
  "${VELTRIK_TEMPLATES};${PROJECT_SOURCE_DIR}/resources/veltrik.manifest;${PROJECT_SOURCE_DIR}/resources/background_band.bmp;${PROJECT_SOURCE_DIR}/resources/background_field.bmp")

# The end-to-end tests' stand-in for the programs veltrik.exe starts.
add_executable(recorder WIN32 tools/recorder.cc)
target_compile_definitions(recorder PRIVATE ${VELTRIK_WIN32_DEFINITIONS})
target_link_libraries(recorder PRIVATE shell32)
if(MINGW)
  target_link_options(recorder PRIVATE -static -s)
endif()

# The benchmarks' floor: a program that only opens a window, built the same way.
add_executable(minimal_window WIN32 bench/minimal_window.cc)
target_compile_definitions(minimal_window PRIVATE ${VELTRIK_WIN32_DEFINITIONS})
if(MINGW)
  target_link_options(minimal_window PRIVATE -static -s)
endif()
add_executable(import_floor WIN32 bench/import_floor.cc)
target_compile_definitions(import_floor PRIVATE ${VELTRIK_WIN32_DEFINITIONS})
target_include_directories(import_floor PRIVATE ${PROJECT_SOURCE_DIR})
if(MINGW)
  target_link_options(import_floor PRIVATE -static -s -municode)
endif()
# The read-back and completion through the real registry API, and one FIX step by step, timed; the second
# carries the program's own resources, its templates.
foreach(bench branch_bench repair_steps)
  add_executable(${bench} WIN32 bench/${bench}.cc $<$<STREQUAL:${bench},repair_steps>:resources/veltrik.rc>)
  target_include_directories(${bench} PRIVATE ${PROJECT_SOURCE_DIR}/resources)
  target_link_libraries(${bench} PRIVATE veltrik_win32)
  if(MINGW)
    target_link_options(${bench} PRIVATE -static -s -municode)
  endif()
endforeach()
# What the end-to-end tests ask of the window from outside: its size, and what a screen reader reads.
add_executable(probe WIN32 tests/e2e/probe.cc)
target_compile_definitions(probe PRIVATE ${VELTRIK_WIN32_DEFINITIONS})
target_link_libraries(probe PRIVATE veltrik_win32 oleacc)
if(MINGW)
  target_link_options(probe PRIVATE -static -s)
endif()
