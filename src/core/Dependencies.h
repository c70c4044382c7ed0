#pragma once

#include <QRecursiveMutex>
#include <QString>

#include <any>
#include <map>
#include <memory>
#include <typeindex>
#include <vector>

namespace tolvo {

enum class DependencyContext { live, test, preview };

// How the container makes a value of T. By default T names itself:
//   static constexpr const char *dependencyKey = "cacheManager";
//   static T liveValue(); static T testValue(); static T previewValue();
// Types that cannot carry these members specialise the traits instead.
template<typename T> struct DependencyTraits
{
    static constexpr const char *key = T::dependencyKey;
    static T liveValue() { return T::liveValue(); }
    static T testValue() { return T::testValue(); }
    static T previewValue() { return T::previewValue(); }
};

// One value per key, built once on first use in the current context, plus a stack of scoped
// overrides for tests. Values are copied out: services are small structs of closures whose
// state lives behind a shared pointer, so a copy shares the state.
class Dependencies
{
public:
    static DependencyContext context();
    // Also drops every value built so far.
    static void setContext(DependencyContext context);
    // Drops every built value, so that the next reader builds a fresh one.
    static void reset();

    template<typename T> static T current()
    {
        auto &self = instance();
        QMutexLocker lock(&self.m_mutex);
        const std::type_index type(typeid(T));
        for (auto scope = self.m_overrides.rbegin(); scope != self.m_overrides.rend(); ++scope) {
            const auto found = scope->find(type);
            if (found != scope->end())
                return std::any_cast<T>(found->second);
        }
        const auto cached = self.m_built.find(type);
        if (cached != self.m_built.end())
            return std::any_cast<T>(cached->second);
        T value = build<T>(self.m_context);
        self.m_built.emplace(type, value);
        return value;
    }

    template<typename T> static const char *key() { return DependencyTraits<T>::key; }

private:
    friend class DependencyScope;

    template<typename T> static T build(DependencyContext context)
    {
        switch (context) {
        case DependencyContext::live: return DependencyTraits<T>::liveValue();
        case DependencyContext::test: return DependencyTraits<T>::testValue();
        case DependencyContext::preview: return DependencyTraits<T>::previewValue();
        }
        return DependencyTraits<T>::liveValue();
    }

    static Dependencies &instance();

    QRecursiveMutex m_mutex;
    DependencyContext m_context = DependencyContext::live;
    std::map<std::type_index, std::any> m_built;
    std::vector<std::map<std::type_index, std::any>> m_overrides;
};

// Overrides values for as long as it lives; scopes nest and unwind in order.
//   DependencyScope scope;
//   scope.set(UserDefaultsClient{...});
class DependencyScope
{
public:
    DependencyScope();
    ~DependencyScope();
    DependencyScope(const DependencyScope &) = delete;
    DependencyScope &operator=(const DependencyScope &) = delete;

    template<typename T> DependencyScope &set(T value)
    {
        auto &deps = Dependencies::instance();
        QMutexLocker lock(&deps.m_mutex);
        deps.m_overrides.at(m_depth)[std::type_index(typeid(T))] = std::move(value);
        return *this;
    }

private:
    std::size_t m_depth;
};

// Captures the container's value when its owner is made and keeps it for the owner's life.
template<typename T> class Dependency
{
public:
    Dependency()
        : m_value(Dependencies::current<T>())
    {
    }

    const T *operator->() const { return &m_value; }
    const T &operator*() const { return m_value; }
    const T &get() const { return m_value; }

private:
    T m_value;
};

} // namespace tolvo
