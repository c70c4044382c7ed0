#include "platform/SecretStore.h"

#include "core/StartTask.h"

#include <QCoro/QCoroSignal>
#include <qt6keychain/keychain.h>

namespace tolvo {

namespace {

Error keychainError(const QKeychain::Job &job)
{
    int code = keychaincode::other;
    switch (job.error()) {
    case QKeychain::EntryNotFound: code = keychaincode::notFound; break;
    case QKeychain::AccessDenied:
    case QKeychain::AccessDeniedByUser: code = keychaincode::accessDenied; break;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented: code = keychaincode::noBackend; break;
    default: break;
    }
    return Error::make(ErrorDomain::keychain, code, job.errorString());
}

// Runs a job and waits for its one `finished`. The job deletes itself afterwards.
QCoro::Task<> run(QKeychain::Job *job)
{
    job->setAutoDelete(true);
    job->start();
    co_await qCoro(job, &QKeychain::Job::finished);
}

QCoro::Task<Result<std::optional<QByteArray>>> keychainRead(QString service, QString key)
{
    auto *job = new QKeychain::ReadPasswordJob(service);
    job->setKey(key);
    co_await run(job);
    if (job->error() == QKeychain::EntryNotFound)
        co_return std::optional<QByteArray>();
    if (job->error() != QKeychain::NoError)
        co_return failure(keychainError(*job));
    co_return std::optional<QByteArray>(job->binaryData());
}

QCoro::Task<VoidResult> keychainWrite(QString service, QString key, QByteArray data)
{
    auto *job = new QKeychain::WritePasswordJob(service);
    job->setKey(key);
    job->setBinaryData(data);
    co_await run(job);
    if (job->error() != QKeychain::NoError)
        co_return failure(keychainError(*job));
    co_return VoidResult {};
}

QCoro::Task<VoidResult> keychainRemove(QString service, QString key)
{
    auto *job = new QKeychain::DeletePasswordJob(service);
    job->setKey(key);
    co_await run(job);
    // Removing what is not there leaves the keychain as asked.
    if (job->error() != QKeychain::NoError && job->error() != QKeychain::EntryNotFound)
        co_return failure(keychainError(*job));
    co_return VoidResult {};
}

} // namespace

SecretStore SecretStore::keychain(const QString &service)
{
    return SecretStore {
        [service](const QString &key) { return keychainRead(service, key); },
        [service](const QString &key, const QByteArray &data) {
            return keychainWrite(service, key, data);
        },
        [service](const QString &key) { return keychainRemove(service, key); },
    };
}

std::optional<QByteArray> InMemorySecrets::item(const QString &key) const
{
    const auto found = m_items.constFind(key);
    if (found == m_items.cend())
        return std::nullopt;
    return *found;
}

SecretStore SecretStore::inMemory(std::shared_ptr<InMemorySecrets> secrets)
{
    return SecretStore {
        [secrets](const QString &key) -> QCoro::Task<Result<std::optional<QByteArray>>> {
            if (auto error = std::exchange(secrets->m_readFailure, std::nullopt))
                return readyTask<Result<std::optional<QByteArray>>>(failure(*error));
            return readyTask<Result<std::optional<QByteArray>>>(secrets->item(key));
        },
        [secrets](const QString &key, const QByteArray &data) {
            if (auto error = std::exchange(secrets->m_writeFailure, std::nullopt))
                return readyTask<VoidResult>(failure(*error));
            ++secrets->m_writes;
            secrets->m_items.insert(key, data);
            return readyTask<VoidResult>({});
        },
        [secrets](const QString &key) {
            if (auto error = std::exchange(secrets->m_removeFailure, std::nullopt))
                return readyTask<VoidResult>(failure(*error));
            ++secrets->m_removes;
            secrets->m_items.remove(key);
            return readyTask<VoidResult>({});
        },
    };
}

} // namespace tolvo
