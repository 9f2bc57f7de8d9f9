# The Windows part of the build: the product, its test doubles and the end-to-end tests under Wine.

# One self-contained exe: the runtime is linked in, so only system DLLs are imported.
set(SONAFEED_STATIC_LINK -static -static-libgcc -static-libstdc++)

# Wine's architecture follows the tree: a 64-bit build runs under 64-bit Wine only, through its
# own loader, since the generic one tries the 32-bit loader first.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(SONAFEED_WINEARCH win64)
    set(SONAFEED_WINELOADER /usr/lib/wine/wine64)
else()
    set(SONAFEED_WINEARCH win32)
    set(SONAFEED_WINELOADER /usr/lib/wine/wine)
endif()
# A Wine session's wrapper and settings in SESSION_DIR: its own prefix, display and wineserver.
function(sonafeed_wine_session SESSION_DIR)
    configure_file(${CMAKE_SOURCE_DIR}/tests/wine/wine-env.in ${SESSION_DIR}/wine-env @ONLY)
    configure_file(${CMAKE_SOURCE_DIR}/tests/wine/wine-run.in ${SESSION_DIR}/wine-run @ONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endfunction()
sonafeed_wine_session(${CMAKE_BINARY_DIR})
# The broadcasts' own session: windows, mutexes and C:\NetStatus.txt of one session are unseen
# in the other, so the broadcasts, minutes of waiting on outages, run beside the other tests.
set(SONAFEED_BROADCAST_SESSION ${CMAKE_BINARY_DIR}/broadcast-session)
sonafeed_wine_session(${SONAFEED_BROADCAST_SESSION})

add_library(sonafeed_framework STATIC
    framework/String.cpp
    framework/CodePage.cpp
    framework/StdioFile.cpp
    framework/WinApp.cpp
    framework/Wnd.cpp
    framework/Dialog.cpp
    framework/Internet.cpp
    framework/Process.cpp)
target_link_libraries(sonafeed_framework PUBLIC sonafeed_flags comctl32 wininet shell32)

# The runtime shim framework/TickCount64.cpp is one of the exe's own objects, not the framework
# library's: see its first lines.
add_executable(Sonafeed WIN32
    framework/TickCount64.cpp
    app/SonafeedApp.cpp
    instance/SingleInstance.cpp
    ui/SonafeedDlg.cpp
    ui/Commands.cpp
    ui/ActivityLog.cpp
    ui/Tray.cpp
    settings/Settings.cpp
    devices/DeviceListing.cpp
    devices/DeviceList.cpp
    live/PublishCheck.cpp
    live/Encoder.cpp
    live/LiveControl.cpp
    live/RtmpProbe.cpp
    live/StatusFile.cpp
    live/EncoderHealth.cpp
    live/Levels.cpp
    live/Recorder.cpp
    live/RecordingControl.cpp
    relay/Backup.cpp
    ui/LevelMeter.cpp
    ui/LabelFit.cpp
    ui/SettingsDlg.cpp
    relay/OpenApiClient.cpp
    relay/RelayControl.cpp
    res/Sonafeed.rc)
target_link_libraries(Sonafeed PRIVATE sonafeed_core sonafeed_framework advapi32 ws2_32 psapi
                      ${SONAFEED_STATIC_LINK})
# No link time in the PE header: the same sources give the same exe, byte for byte.
target_link_options(Sonafeed PRIVATE -Wl,--no-insert-timestamp $<$<CONFIG:Release>:-s>)
# The process-status functions from psapi.dll, where Windows XP has them, not their later
# K32 names in kernel32.
target_compile_definitions(Sonafeed PRIVATE PSAPI_VERSION=1)
configure_file(res/Version.h.in ${CMAKE_BINARY_DIR}/generated/Version.h @ONLY)
target_include_directories(Sonafeed PRIVATE ${CMAKE_BINARY_DIR}/generated)
set_source_files_properties(res/Sonafeed.rc PROPERTIES OBJECT_DEPENDS
    "${CMAKE_SOURCE_DIR}/res/Sonafeed.ico;${CMAKE_SOURCE_DIR}/res/Sonafeed.exe.manifest;${CMAKE_SOURCE_DIR}/res/resource.h;${CMAKE_BINARY_DIR}/generated/Version.h")

# The release zip in dist/ (scripts/package.sh): the exe beside the texts of release/.
add_custom_target(release_zip
    COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/release/make_zip.py --version ${PROJECT_VERSION}
            --exe $<TARGET_FILE:Sonafeed> --out ${CMAKE_SOURCE_DIR}/dist
    DEPENDS Sonafeed VERBATIM)

# Windows XP SP3 must be able to load the exe: its subsystem version and what it imports.
add_test(NAME exe_loads_on_xp
         COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/imports/xp_imports.py ${CMAKE_OBJDUMP}
                 $<TARGET_FILE:Sonafeed>)

# Wine session for the tests: a prefix, an Xvfb display and a persistent wineserver.
add_executable(wine_keepalive WIN32 tests/wine/keepalive.cpp)
target_link_libraries(wine_keepalive PRIVATE ${SONAFEED_STATIC_LINK})
# Fixture wine is the tree's session, wine_broadcast the broadcasts'.
foreach(session IN ITEMS "wine;${CMAKE_BINARY_DIR}" "wine_broadcast;${SONAFEED_BROADCAST_SESSION}")
    list(GET session 0 fixture)
    list(GET session 1 dir)
    add_test(NAME ${fixture}_session_start
             COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/session.sh start ${dir}
                     $<TARGET_FILE:wine_keepalive>)
    add_test(NAME ${fixture}_session_stop
             COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/session.sh stop ${dir})
    set_tests_properties(${fixture}_session_start PROPERTIES FIXTURES_SETUP ${fixture} TIMEOUT 180)
    set_tests_properties(${fixture}_session_stop PROPERTIES FIXTURES_CLEANUP ${fixture})
endforeach()

add_subdirectory(tests/doubles)
add_subdirectory(tests/e2e)
add_subdirectory(tests/broadcast)
add_subdirectory(tools/soak)
add_subdirectory(tools/bench)
