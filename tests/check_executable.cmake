# Checks what the release executable promises: 64-bit GUI program, under
# 32 KiB (no unwinder or thread library linked in), only system DLLs
# imported, no link timestamp, aware of Terminal Services, and the same
# bytes when built again from the same source in another folder.
#
# cmake -DEXE=... -DOBJDUMP=... -DSOURCE=... -DTOOLCHAIN=... -DSCRATCH=... -P check_executable.cmake
file(SIZE ${EXE} size)
if(NOT size LESS 32768)
  message(FATAL_ERROR "${EXE} is ${size} bytes, not under 32 KiB")
endif()
message(STATUS "size: ${size} bytes")

execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE headers COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
message(STATUS "imports: ${imports}")
foreach(import IN LISTS imports)
  string(TOUPPER "${import}" import)
  if(NOT import MATCHES "^DLL NAME: (KERNEL32|USER32|MSVCRT)\\.DLL$")
    message(FATAL_ERROR "unexpected import: ${import}")
  endif()
endforeach()
foreach(expected "file format pei-x86-64" "Subsystem[ \t]+00000002" "Time/Date[ \t]+Thu Jan  1 00:00:00 1970"
                "TERMINAL_SERVICE_AWARE")
  if(NOT headers MATCHES "${expected}")
    message(FATAL_ERROR "headers lack '${expected}'")
  endif()
endforeach()
string(REGEX MATCH "Sections:.*" sections "${headers}")
if(sections MATCHES "\\.debug")
  message(FATAL_ERROR "not stripped")
endif()

file(REMOVE_RECURSE ${SCRATCH})
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${SCRATCH} --toolchain ${TOOLCHAIN}
                        -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_TESTING=OFF
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} --build ${SCRATCH} --target plintor-rename
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${EXE} ${SCRATCH}/plintor-rename.exe
                RESULT_VARIABLE different)
file(REMOVE_RECURSE ${SCRATCH})
if(different)
  message(FATAL_ERROR "a second build gave different bytes")
endif()
message(STATUS "a second build gave the same bytes")
