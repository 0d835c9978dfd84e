# The Windows builds' programs beside the ones of the subsystems: the
# machine-independent tools. Output next to VorlanexApi.dll in tools/.
add_executable(zlsvcdemo ${PROJECT_SOURCE_DIR}/tools/zlsvcdemo/main.cpp)
target_link_libraries(zlsvcdemo PRIVATE zlshared zl_warnings)
set_target_properties(zlsvcdemo PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tools)
