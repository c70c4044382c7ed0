#pragma once

#include "core/Result.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QMap>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace tolvo {

// Codes of ErrorDomain::keychain.
namespace keychaincode {
inline constexpr int notFound = 1;
inline constexpr int accessDenied = 2;
inline constexpr int noBackend = 3;
inline constexpr int other = 99;
} // namespace keychaincode

class InMemorySecrets;

// Secrets kept under one service name, one item per key. Reading a missing item gives nothing
// (not a failure); removing a missing item succeeds, so that signing out always works.
struct SecretStore
{
    std::function<QCoro::Task<Result<std::optional<QByteArray>>>(const QString &key)> read;
    std::function<QCoro::Task<VoidResult>(const QString &key, const QByteArray &data)> write;
    std::function<QCoro::Task<VoidResult>(const QString &key)> remove;

    // The desktop's Secret Service (GNOME Keyring, KWallet) through QtKeychain.
    static SecretStore keychain(const QString &service);
    // Items kept in `secrets`, for tests and previews.
    static SecretStore inMemory(std::shared_ptr<InMemorySecrets> secrets);
};

// The in-memory store's content. A test can look into it and make the next operations fail.
class InMemorySecrets
{
public:
    std::optional<QByteArray> item(const QString &key) const;
    void setItem(const QString &key, const QByteArray &data) { m_items.insert(key, data); }
    int itemCount() const { return int(m_items.size()); }
    int writeCount() const { return m_writes; }
    int removeCount() const { return m_removes; }

    // The next read, write or remove fails with this error (once each).
    void failNextRead(Error error) { m_readFailure = std::move(error); }
    void failNextWrite(Error error) { m_writeFailure = std::move(error); }
    void failNextRemove(Error error) { m_removeFailure = std::move(error); }

private:
    friend struct SecretStore;
    QMap<QString, QByteArray> m_items;
    int m_writes = 0;
    int m_removes = 0;
    std::optional<Error> m_readFailure;
    std::optional<Error> m_writeFailure;
    std::optional<Error> m_removeFailure;
};

} // namespace tolvo
