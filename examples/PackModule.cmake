# Packs one module source tree into a ".modl" archive (cmake -P).
# In the repository the module XML and the string tables are UTF-8 so that
# they can be read and diffed; inside an archive both are UTF-16LE. The tree
# is copied to STAGE, those files are converted there, and STAGE is packed.
#
# Variables: SOURCE (module source folder), STAGE (scratch folder), OUTPUT
# (archive to write), CLI (brambleton-cli), ICONV (the iconv program).

foreach(var SOURCE STAGE OUTPUT CLI ICONV)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "PackModule.cmake: ${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${STAGE}")
file(COPY "${SOURCE}/" DESTINATION "${STAGE}")

file(GLOB_RECURSE texts "${STAGE}/Data/data.xml" "${STAGE}/Localization/*.loc")
foreach(text IN LISTS texts)
  execute_process(
    COMMAND "${ICONV}" -f UTF-8 -t UTF-16LE "${text}"
    OUTPUT_FILE "${text}.utf16"
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Could not convert ${text} to UTF-16LE (is it UTF-8?)")
  endif()
  file(RENAME "${text}.utf16" "${text}")
endforeach()

get_filename_component(output_dir "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${output_dir}")
execute_process(
  COMMAND "${CLI}" archive pack "${STAGE}" "${OUTPUT}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "brambleton-cli archive pack failed for ${SOURCE}")
endif()
