#include "platform/SecretStore.h"

#include <cstdlib>
#include <filesystem>
#include <libsecret/secret.h>
#include <stdexcept>

namespace tunquil::platform {

namespace {

// The attribute names are stored in the keyring with every password: never rename them.
const SecretSchema* MailSchema() {
    static const SecretSchema schema = {"org.tunquil.MailPassword",
                                        SECRET_SCHEMA_NONE,
                                        {{"server", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                        0,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr};
    return &schema;
}

[[noreturn]] void Throw(const char* what, GError* error) {
    std::string text = std::string("The keyring could not ") + what + ": " +
                       (error && error->message ? error->message : "unknown reason");
    if (error)
        g_error_free(error);
    throw std::runtime_error(text);
}

} // namespace

bool SecretServiceStore::Available() {
    // Without a session bus GLib would try to launch one, which may start a daemon or wait on
    // a display; a desktop session always names its bus one of these two ways.
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code ec;
    if ((!address || !*address) &&
        (!runtime || !std::filesystem::exists(std::filesystem::path(runtime) / "bus", ec)))
        return false;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus)
        return false;
    // The shared connection would otherwise end the whole program when the bus goes away.
    g_dbus_connection_set_exit_on_close(bus, FALSE);
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "NameHasOwner", g_variant_new("(s)", "org.freedesktop.secrets"), G_VARIANT_TYPE("(b)"),
        G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    g_object_unref(bus);
    if (!reply)
        return false;
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    return owned;
}

std::optional<std::string> SecretServiceStore::Lookup(const std::string& server,
                                                      const std::string& user) {
    GError* error = nullptr;
    gchar* password = secret_password_lookup_sync(MailSchema(), nullptr, &error, "server",
                                                  server.c_str(), "user", user.c_str(), nullptr);
    if (error)
        Throw("read the mail password", error);
    if (!password)
        return std::nullopt;
    std::string result(password);
    secret_password_free(password);
    return result;
}

void SecretServiceStore::Store(const std::string& server, const std::string& user,
                               const std::string& password) {
    GError* error = nullptr;
    std::string label = "Tunquil mail password for " + user + " at " + server;
    secret_password_store_sync(MailSchema(), SECRET_COLLECTION_DEFAULT, label.c_str(),
                               password.c_str(), nullptr, &error, "server", server.c_str(), "user",
                               user.c_str(), nullptr);
    if (error)
        Throw("keep the mail password", error);
}

void SecretServiceStore::Remove(const std::string& server, const std::string& user) {
    GError* error = nullptr;
    secret_password_clear_sync(MailSchema(), nullptr, &error, "server", server.c_str(), "user",
                               user.c_str(), nullptr);
    if (error)
        Throw("remove the mail password", error);
}

} // namespace tunquil::platform
