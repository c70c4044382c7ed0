#include "core/Dependencies.h"

namespace tolvo {

Dependencies &Dependencies::instance()
{
    static Dependencies dependencies;
    return dependencies;
}

DependencyContext Dependencies::context()
{
    auto &self = instance();
    QMutexLocker lock(&self.m_mutex);
    return self.m_context;
}

void Dependencies::setContext(DependencyContext context)
{
    auto &self = instance();
    QMutexLocker lock(&self.m_mutex);
    self.m_context = context;
    self.m_built.clear();
}

void Dependencies::reset()
{
    auto &self = instance();
    std::map<std::type_index, std::any> dropped;
    {
        QMutexLocker lock(&self.m_mutex);
        dropped.swap(self.m_built);
    }
    // Values are released outside the lock: their destructors may read the container.
}

DependencyScope::DependencyScope()
{
    auto &deps = Dependencies::instance();
    QMutexLocker lock(&deps.m_mutex);
    m_depth = deps.m_overrides.size();
    deps.m_overrides.emplace_back();
}

DependencyScope::~DependencyScope()
{
    auto &deps = Dependencies::instance();
    std::vector<std::map<std::type_index, std::any>> dropped;
    {
        QMutexLocker lock(&deps.m_mutex);
        while (deps.m_overrides.size() > m_depth) {
            dropped.push_back(std::move(deps.m_overrides.back()));
            deps.m_overrides.pop_back();
        }
    }
}

} // namespace tolvo
