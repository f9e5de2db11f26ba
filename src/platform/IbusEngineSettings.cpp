// GIO only: its headers name struct fields "signals", which Qt defines away.
#include "IbusEngineSettings.h"

#include <gio/gio.h>
#include <memory>

namespace qarvel::platform {

namespace {

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using Settings = std::unique_ptr<GSettings, ObjectUnref>;

// The settings of `schema`, or null when that schema is not installed
// (g_settings_new would abort the program then).
Settings OpenSettings(const char* schema) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (source == nullptr) {
        return nullptr;
    }
    GSettingsSchema* found = g_settings_schema_source_lookup(source, schema, TRUE);
    if (found == nullptr) {
        return nullptr;
    }
    g_settings_schema_unref(found);
    return Settings(g_settings_new(schema));
}

// The value of `key` when the schema has it with the given type; null otherwise.
GVariant* ReadValue(GSettings* settings, const char* key, const char* type) {
    GSettingsSchema* schema = nullptr;
    g_object_get(settings, "settings-schema", &schema, nullptr);
    const bool known = schema != nullptr && g_settings_schema_has_key(schema, key);
    if (schema != nullptr) {
        g_settings_schema_unref(schema);
    }
    if (!known) {
        return nullptr;
    }
    GVariant* value = g_settings_get_value(settings, key);
    if (value != nullptr && !g_variant_is_of_type(value, G_VARIANT_TYPE(type))) {
        g_variant_unref(value);
        return nullptr;
    }
    return value;
}

} // namespace

std::vector<std::string> ConfiguredIbusEngines() {
    std::vector<std::string> engines;
    if (Settings ibus = OpenSettings("org.freedesktop.ibus.general")) {
        if (GVariant* preload = ReadValue(ibus.get(), "preload-engines", "as")) {
            GVariantIter iter;
            g_variant_iter_init(&iter, preload);
            const gchar* name = nullptr;
            while (g_variant_iter_next(&iter, "&s", &name)) {
                engines.emplace_back(name);
            }
            g_variant_unref(preload);
        }
    }
    if (!engines.empty()) {
        return engines;
    }
    // GNOME drives ibus itself: [('xkb', 'us'), ('ibus', 'libpinyin')]
    if (Settings gnome = OpenSettings("org.gnome.desktop.input-sources")) {
        if (GVariant* sources = ReadValue(gnome.get(), "sources", "a(ss)")) {
            GVariantIter iter;
            g_variant_iter_init(&iter, sources);
            const gchar* kind = nullptr;
            const gchar* name = nullptr;
            while (g_variant_iter_next(&iter, "(&s&s)", &kind, &name)) {
                if (g_strcmp0(kind, "ibus") == 0) {
                    engines.emplace_back(name);
                }
            }
            g_variant_unref(sources);
        }
    }
    return engines;
}

} // namespace qarvel::platform
