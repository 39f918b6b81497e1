# The Windows build (make windows): the user-mode deliverables only, compiled
# against the real SDK headers (plus platform/sdk-extra for what mingw-w64
# lacks) instead of the stand-ins, each a 32-bit binary with its resources.
enable_language(RC)
add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)
option(QCAM_WERROR "Treat compiler warnings as errors (CI builds)" OFF)
if(QCAM_WERROR)
  add_compile_options(-Werror)
endif()
include_directories(${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/platform/sdk-extra)
set(QCAM_WINDOWS_LIBS ole32 oleaut32 uuid strmiids quartz comctl32 user32 advapi32 gdi32 kernel32)

# qcamext.ax: the DirectShow extension, exports named by its .def file.
file(GLOB QCAMEXT_SRC CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/extension/*.cpp)
add_library(qcamext MODULE ${QCAMEXT_SRC} ${CMAKE_SOURCE_DIR}/extension/qcamext.rc
            ${CMAKE_SOURCE_DIR}/extension/qcamext.def)
set_target_properties(qcamext PROPERTIES PREFIX "" OUTPUT_NAME qcamext SUFFIX ".ax")
target_link_libraries(qcamext PRIVATE ${QCAM_WINDOWS_LIBS})
target_link_options(qcamext PRIVATE -static-libgcc -static-libstdc++)

# QCAMLDR.exe: the firmware updater, with its firmware images and icon made
# at build time by updater/images/make_images.py (windres finds them on its
# include path).
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(QCAMLDR_GENERATED ${CMAKE_BINARY_DIR}/generated/updater)
set(QCAMLDR_IMAGES ${QCAMLDR_GENERATED}/fw135.bin ${QCAMLDR_GENERATED}/fw137.bin ${QCAMLDR_GENERATED}/fw138.bin
    ${QCAMLDR_GENERATED}/fw139.bin ${QCAMLDR_GENERATED}/qcamldr.ico)
add_custom_command(OUTPUT ${QCAMLDR_IMAGES}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/updater/images/make_images.py ${QCAMLDR_GENERATED}
  DEPENDS ${CMAKE_SOURCE_DIR}/updater/images/make_images.py VERBATIM)
file(GLOB QCAMLDR_SRC CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/updater/*.cpp ${CMAKE_SOURCE_DIR}/platform/appframe/*.cpp)
set_source_files_properties(${CMAKE_SOURCE_DIR}/updater/QCAMLDR.rc PROPERTIES OBJECT_DEPENDS "${QCAMLDR_IMAGES}")
add_executable(QCAMLDR WIN32 ${QCAMLDR_SRC} ${CMAKE_SOURCE_DIR}/updater/QCAMLDR.rc)
target_compile_options(QCAMLDR PRIVATE $<$<COMPILE_LANGUAGE:RC>:-I${QCAMLDR_GENERATED} -I${CMAKE_SOURCE_DIR}/updater>)
target_link_libraries(QCAMLDR PRIVATE ${QCAM_WINDOWS_LIBS})
target_link_options(QCAMLDR PRIVATE -static-libgcc -static-libstdc++)

# QORBM.exe: the tray button manager, with its icon made at build time by
# tray/images/make_icon.py (windres finds it on its include path).
set(QORBM_GENERATED ${CMAKE_BINARY_DIR}/generated/tray)
add_custom_command(OUTPUT ${QORBM_GENERATED}/qorbm.ico
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tray/images/make_icon.py ${QORBM_GENERATED}
  DEPENDS ${CMAKE_SOURCE_DIR}/tray/images/make_icon.py VERBATIM)
file(GLOB QORBM_SRC CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tray/*.cpp ${CMAKE_SOURCE_DIR}/platform/appframe/*.cpp)
set_source_files_properties(${CMAKE_SOURCE_DIR}/tray/QORBM.rc PROPERTIES OBJECT_DEPENDS "${QORBM_GENERATED}/qorbm.ico")
add_executable(QORBM WIN32 ${QORBM_SRC} ${CMAKE_SOURCE_DIR}/tray/QORBM.rc)
target_compile_options(QORBM PRIVATE $<$<COMPILE_LANGUAGE:RC>:-I${QORBM_GENERATED} -I${CMAKE_SOURCE_DIR}/tray>)
target_link_libraries(QORBM PRIVATE ${QCAM_WINDOWS_LIBS})
target_link_options(QORBM PRIVATE -static-libgcc -static-libstdc++)
