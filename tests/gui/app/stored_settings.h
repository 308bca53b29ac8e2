// Reads one number back from the settings file the agent wrote.
#pragma once

#include "config/RegistryStore.h"

#include <cstdint>
#include <optional>
#include <string>

inline std::optional<uint32_t> storedDword(const std::string& name)
{
    kaptivus::config::RegistryStore store;
    (void)store.open();
    auto key = store.openKey(kaptivus::config::kSettingsKey);
    if (!key) return std::nullopt;
    const auto v = key->readInteger(name);
    if (!v) return std::nullopt;
    return static_cast<uint32_t>(*v);
}
