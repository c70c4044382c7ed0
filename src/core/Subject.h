#pragma once

#include <QMetaObject>
#include <QMutex>
#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tolvo {

// Ends a subscription when the last copy of it goes away (or on cancel()).
class Subscription
{
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> cancel)
        : m_state(std::make_shared<State>(std::move(cancel)))
    {
    }

    void cancel()
    {
        if (m_state)
            m_state->cancel();
    }
    bool isActive() const { return m_state && m_state->onCancel; }

private:
    struct State
    {
        explicit State(std::function<void()> cancel)
            : onCancel(std::move(cancel))
        {
        }
        ~State() { cancel(); }
        void cancel()
        {
            if (auto fn = std::exchange(onCancel, nullptr))
                fn();
        }
        std::function<void()> onCancel;
    };
    std::shared_ptr<State> m_state;
};

// What a subscriber hands to a publisher. Delivery is direct (on the sender's thread, before
// send() returns) or queued (later, on the receiver's thread, through its event loop). A
// subscriber whose receiver has been destroyed receives nothing more.
template<typename T> struct Subscriber
{
    QPointer<QObject> receiver;
    std::function<void(const T &)> onValue;
    std::function<void()> onFinished;
    Qt::ConnectionType connection = Qt::DirectConnection;
    bool hasReceiver = false;

    void deliver(const T &value) const
    {
        if (hasReceiver && !receiver)
            return;
        if (connection == Qt::QueuedConnection && receiver) {
            QMetaObject::invokeMethod(
                receiver.data(), [fn = onValue, value] { fn(value); }, Qt::QueuedConnection);
            return;
        }
        onValue(value);
    }

    void finish() const
    {
        if (!onFinished || (hasReceiver && !receiver))
            return;
        if (connection == Qt::QueuedConnection && receiver) {
            QMetaObject::invokeMethod(receiver.data(), onFinished, Qt::QueuedConnection);
            return;
        }
        onFinished();
    }
};

// A publisher as a value: anything that can take a subscriber.
template<typename T> class Publisher
{
public:
    using SubscribeFn = std::function<Subscription(Subscriber<T>)>;

    Publisher() = default;
    explicit Publisher(SubscribeFn subscribe)
        : m_subscribe(std::move(subscribe))
    {
    }

    // `receiver` (optional) ends the subscription when it is destroyed and is the thread that
    // queued deliveries run on.
    Subscription subscribe(QObject *receiver, std::function<void(const T &)> onValue,
        Qt::ConnectionType connection = Qt::DirectConnection,
        std::function<void()> onFinished = {}) const
    {
        Subscriber<T> subscriber {
            receiver, std::move(onValue), std::move(onFinished), connection, receiver != nullptr};
        if (!m_subscribe)
            return {};
        return m_subscribe(std::move(subscriber));
    }

    // Sends the given values to each subscriber, then finishes.
    static Publisher just(std::vector<T> values)
    {
        return Publisher([values](Subscriber<T> subscriber) {
            for (const auto &value : values)
                subscriber.deliver(value);
            subscriber.finish();
            return Subscription();
        });
    }

private:
    SubscribeFn m_subscribe;
};

// A subject that holds no value (pass-through) or a current value (current-value subject). A
// current-value subject gives a new subscriber its value at once, then every later value. Sends
// are never de-duplicated. Safe to use from several threads.
template<typename T> class Subject : public std::enable_shared_from_this<Subject<T>>
{
public:
    static std::shared_ptr<Subject> passthrough()
    {
        return std::shared_ptr<Subject>(new Subject());
    }
    static std::shared_ptr<Subject> withCurrentValue(T value)
    {
        auto subject = std::shared_ptr<Subject>(new Subject());
        subject->m_current = std::move(value);
        return subject;
    }

    void send(const T &value)
    {
        std::vector<std::shared_ptr<Entry>> targets;
        {
            QMutexLocker lock(&m_mutex);
            if (m_current)
                m_current = value;
            targets = m_entries;
        }
        for (const auto &entry : targets) {
            if (entry->active)
                entry->subscriber.deliver(value);
        }
    }

    std::optional<T> currentValue() const
    {
        QMutexLocker lock(&m_mutex);
        return m_current;
    }

    Subscription subscribe(Subscriber<T> subscriber)
    {
        auto entry = std::make_shared<Entry>(std::move(subscriber), true);
        std::optional<T> initial;
        {
            QMutexLocker lock(&m_mutex);
            prune();
            m_entries.push_back(entry);
            initial = m_current;
        }
        if (initial)
            entry->subscriber.deliver(*initial);
        std::weak_ptr<Subject> weakSelf = this->shared_from_this();
        return Subscription([weakSelf, entry] {
            entry->active = false;
            if (auto self = weakSelf.lock()) {
                QMutexLocker lock(&self->m_mutex);
                self->prune();
            }
        });
    }

    Publisher<T> publisher()
    {
        std::weak_ptr<Subject> weakSelf = this->shared_from_this();
        return Publisher<T>([weakSelf](Subscriber<T> subscriber) {
            if (auto self = weakSelf.lock())
                return self->subscribe(std::move(subscriber));
            return Subscription();
        });
    }

    std::size_t subscriberCount() const
    {
        QMutexLocker lock(&m_mutex);
        std::size_t count = 0;
        for (const auto &entry : m_entries)
            count
                += entry->active && !(entry->subscriber.hasReceiver && !entry->subscriber.receiver);
        return count;
    }

private:
    struct Entry
    {
        Subscriber<T> subscriber;
        std::atomic<bool> active;
        Entry(Subscriber<T> s, bool a)
            : subscriber(std::move(s))
            , active(a)
        {
        }
    };

    Subject() = default;

    void prune()
    {
        std::erase_if(m_entries, [](const auto &entry) {
            return !entry->active || (entry->subscriber.hasReceiver && !entry->subscriber.receiver);
        });
    }

    mutable QMutex m_mutex;
    std::optional<T> m_current;
    std::vector<std::shared_ptr<Entry>> m_entries;
};

} // namespace tolvo
