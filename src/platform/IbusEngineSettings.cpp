// GIO only: its headers name struct fields "signals", which Qt defines away.
#include "IbusEngineSettings.h"

#include "SharedLibrary.h"

#include <gio/gio.h>
#include <memory>
#include <string_view>

namespace qarvel::platform {

namespace {

// GIO is loaded when the settings are first read, not with the program: only
// desktops that run ibus need it, and it brings several libraries with it.
struct Gio {
    decltype(&g_settings_schema_source_get_default) schemaSourceGetDefault = nullptr;
    decltype(&g_settings_schema_source_lookup) schemaSourceLookup = nullptr;
    decltype(&g_settings_schema_unref) schemaUnref = nullptr;
    decltype(&g_settings_schema_has_key) schemaHasKey = nullptr;
    decltype(&g_settings_new) settingsNew = nullptr;
    decltype(&g_settings_get_value) settingsGetValue = nullptr;
    decltype(&g_object_get) objectGet = nullptr;
    decltype(&g_object_unref) objectUnref = nullptr;
    decltype(&g_variant_is_of_type) variantIsOfType = nullptr;
    decltype(&g_variant_iter_init) variantIterInit = nullptr;
    decltype(&g_variant_iter_next) variantIterNext = nullptr;
    decltype(&g_variant_unref) variantUnref = nullptr;

    // The library's functions, or null when it cannot be loaded.
    static const Gio* Get() {
        static const std::unique_ptr<const Gio> gio = Load();
        return gio.get();
    }

private:
    static std::unique_ptr<const Gio> Load() {
        SharedLibrary library("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!library.loaded()) {
            return nullptr;
        }
        auto gio = std::make_unique<Gio>();
        bool complete = true;
        const auto take = [&](auto& function, const char* name) {
            complete = library.find(function, name) && complete;
        };
        take(gio->schemaSourceGetDefault, "g_settings_schema_source_get_default");
        take(gio->schemaSourceLookup, "g_settings_schema_source_lookup");
        take(gio->schemaUnref, "g_settings_schema_unref");
        take(gio->schemaHasKey, "g_settings_schema_has_key");
        take(gio->settingsNew, "g_settings_new");
        take(gio->settingsGetValue, "g_settings_get_value");
        take(gio->objectGet, "g_object_get");
        take(gio->objectUnref, "g_object_unref");
        take(gio->variantIsOfType, "g_variant_is_of_type");
        take(gio->variantIterInit, "g_variant_iter_init");
        take(gio->variantIterNext, "g_variant_iter_next");
        take(gio->variantUnref, "g_variant_unref");
        if (!complete) {
            return nullptr;
        }
        // The library stays loaded: GIO's types cannot be unregistered.
        library.keepLoaded();
        return gio;
    }
};

struct ObjectUnref {
    void operator()(gpointer object) const { Gio::Get()->objectUnref(object); }
};
using Settings = std::unique_ptr<GSettings, ObjectUnref>;

// The settings of `schema`, or null when that schema is not installed
// (g_settings_new would abort the program then).
Settings OpenSettings(const Gio& gio, const char* schema) {
    GSettingsSchemaSource* source = gio.schemaSourceGetDefault();
    if (source == nullptr) {
        return nullptr;
    }
    GSettingsSchema* found = gio.schemaSourceLookup(source, schema, TRUE);
    if (found == nullptr) {
        return nullptr;
    }
    gio.schemaUnref(found);
    return Settings(gio.settingsNew(schema));
}

// The value of `key` when the schema has it with the given type; null otherwise.
GVariant* ReadValue(const Gio& gio, GSettings* settings, const char* key, const char* type) {
    GSettingsSchema* schema = nullptr;
    gio.objectGet(settings, "settings-schema", &schema, nullptr);
    const bool known = schema != nullptr && gio.schemaHasKey(schema, key);
    if (schema != nullptr) {
        gio.schemaUnref(schema);
    }
    if (!known) {
        return nullptr;
    }
    GVariant* value = gio.settingsGetValue(settings, key);
    // A type string is its GVariantType (what G_VARIANT_TYPE makes of it).
    const auto* variantType = reinterpret_cast<const GVariantType*>(type);
    if (value != nullptr && !gio.variantIsOfType(value, variantType)) {
        gio.variantUnref(value);
        return nullptr;
    }
    return value;
}

} // namespace

std::vector<std::string> ConfiguredIbusEngines() {
    std::vector<std::string> engines;
    const Gio* gio = Gio::Get();
    if (gio == nullptr) {
        return engines;
    }
    if (Settings ibus = OpenSettings(*gio, "org.freedesktop.ibus.general")) {
        if (GVariant* preload = ReadValue(*gio, ibus.get(), "preload-engines", "as")) {
            GVariantIter iter;
            gio->variantIterInit(&iter, preload);
            const gchar* name = nullptr;
            while (gio->variantIterNext(&iter, "&s", &name)) {
                engines.emplace_back(name);
            }
            gio->variantUnref(preload);
        }
    }
    if (!engines.empty()) {
        return engines;
    }
    // GNOME drives ibus itself: [('xkb', 'us'), ('ibus', 'libpinyin')]
    if (Settings gnome = OpenSettings(*gio, "org.gnome.desktop.input-sources")) {
        if (GVariant* sources = ReadValue(*gio, gnome.get(), "sources", "a(ss)")) {
            GVariantIter iter;
            gio->variantIterInit(&iter, sources);
            const gchar* kind = nullptr;
            const gchar* name = nullptr;
            while (gio->variantIterNext(&iter, "(&s&s)", &kind, &name)) {
                if (kind != nullptr && std::string_view(kind) == "ibus") {
                    engines.emplace_back(name);
                }
            }
            gio->variantUnref(sources);
        }
    }
    return engines;
}

} // namespace qarvel::platform
