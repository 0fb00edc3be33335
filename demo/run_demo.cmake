# Builds a sample game and donor from their descriptions, runs a copy of the
# tool on them in SCRATCH and shows what it printed and what it changed.
file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")
get_filename_component(tool_name "${TOOL}" NAME)
file(COPY "${TOOL}" DESTINATION "${SCRATCH}")

foreach(image game donor)
  execute_process(
    COMMAND "${IMAGE_TOOL}" make "${SOURCE}/${image}.txt" "${SCRATCH}/${image}.nds"
    RESULT_VARIABLE made)
  if(NOT made EQUAL 0)
    message(FATAL_ERROR "could not make the sample ${image}")
  endif()
endforeach()

if(WIN32)
  set(no_input NUL)
else()
  set(no_input /dev/null)
endif()
message(STATUS "In ${SCRATCH}: ${tool_name} game.nds")
execute_process(
  COMMAND "${SCRATCH}/${tool_name}" "${SCRATCH}/game.nds"
  WORKING_DIRECTORY "${SCRATCH}"
  INPUT_FILE ${no_input}
  OUTPUT_VARIABLE printed
  RESULT_VARIABLE status)
message("---- what the tool printed (exit status ${status}) ----\n${printed}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the tool did not write the fixed game")
endif()
message("---- the header, before and after ----")
execute_process(
  COMMAND "${IMAGE_TOOL}" fields "${SCRATCH}/game.nds" "${SCRATCH}/game-arm7fixed.nds")
file(SIZE "${SCRATCH}/arm7.bin" arm7_size)
message("\narm7.bin (${arm7_size} bytes) was extracted from donor.nds into ${SCRATCH}.")
