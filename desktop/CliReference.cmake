# Writes vellicor-cli's manual page and bash completion with the command list the program itself
# gives (--dump-commands), so that neither lists fewer commands or options than the program has.
# cmake -DCLI=program -DSOURCE_DIR=desktop -DOUT_DIR=folder -DPROJECT_VERSION=x.y.z -P this file
foreach(form man bash)
  execute_process(COMMAND ${CLI} --dump-commands ${form}
    OUTPUT_VARIABLE reference_${form} ERROR_VARIABLE error RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR reference_${form} STREQUAL "")
    message(FATAL_ERROR "${CLI} --dump-commands ${form} failed (${status}): ${error}")
  endif()
endforeach()
set(VELLICOR_CLI_COMMANDS "${reference_man}")
configure_file(${SOURCE_DIR}/man/vellicor-cli.1.in ${OUT_DIR}/man/vellicor-cli.1 @ONLY)
set(VELLICOR_CLI_TABLE "${reference_bash}")
configure_file(${SOURCE_DIR}/vellicor-cli.bash-completion.in ${OUT_DIR}/vellicor-cli.bash-completion
  @ONLY)
