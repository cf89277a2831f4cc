// The program-wide module handles.
#include "framework/ModuleHandles.h"

#include <stdexcept>

namespace {

HINSTANCE g_instanceHandle = nullptr;
HINSTANCE g_resourceHandle = nullptr;

}  // namespace

void SetModuleHandles(HINSTANCE instance) {
    if (instance == nullptr) instance = GetModuleHandleA(nullptr);
    g_instanceHandle = instance;
    g_resourceHandle = instance;
}

void SetResourceHandle(HINSTANCE resource) { g_resourceHandle = resource; }

HINSTANCE GetInstanceHandle() {
    if (g_instanceHandle == nullptr) throw std::logic_error("instance handle read before it was set");
    return g_instanceHandle;
}

HINSTANCE GetResourceHandle() {
    if (g_resourceHandle == nullptr) throw std::logic_error("resource handle read before it was set");
    return g_resourceHandle;
}
