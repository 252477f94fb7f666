#pragma once

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <iostream>
#include <string>

#include "testing/command_host/stand_in.h"

namespace morvane::testing_host {

// What a main of end-to-end tests does once GoogleTest has taken its options: the stand-in is the
// program at serverPath, its scenarios and logs go to a folder "runs" beside this program, and the
// tests run in a single-threaded apartment, as the binding needs on the thread that calls it.
inline int RunStandInTests(const std::wstring& serverPath) {
    StandIn::ServerPath() = serverPath;
    wchar_t self[MAX_PATH]{};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self);
    folder.resize(folder.find_last_of(L"\\/"));
    StandIn::WorkFolder() = folder + L"\\runs";
    CreateDirectoryW(StandIn::WorkFolder().c_str(), nullptr);

    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        std::cerr << "CoInitializeEx failed\n";
        return 2;
    }
    const int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}

}  // namespace morvane::testing_host
