# The windows on Windows: the toolkit-neutral framework (platform/ui) on the Win32 backend
# (platform/win32/ui), no Qt. upgrade.exe is a GUI-subsystem program, linked statically like
# the rest of the Windows build, importing only system DLLs.
enable_language(RC)

file(GLOB_RECURSE _gui_srcs CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/platform/ui/*.cpp
     ${PROJECT_SOURCE_DIR}/platform/win32/ui/*.cpp
     ${PROJECT_SOURCE_DIR}/app/ui/*.cpp
     ${PROJECT_SOURCE_DIR}/verify/ui/*.cpp
     ${PROJECT_SOURCE_DIR}/upgrade/ui/*.cpp)
list(FILTER _gui_srcs EXCLUDE REGEX "/main\\.cpp$")

add_library(tarvel_gui STATIC ${_gui_srcs})
target_include_directories(tarvel_gui PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tarvel_gui PUBLIC tarvel_core comctl32 comdlg32 gdi32 user32)

add_executable(upgrade WIN32 ${PROJECT_SOURCE_DIR}/app/ui/win32/main.cpp
               ${PROJECT_SOURCE_DIR}/app/ui/win32/upgrade.rc)
target_link_libraries(upgrade PRIVATE tarvel_gui)
