#include <map>
#include <memory>
#include <set>
#include <string>

class Plugin {
public:
    explicit Plugin(std::string name) : name_(std::move(name)) {}
    virtual ~Plugin() = default;
    virtual int priority() const { return 0; }
    const std::string &name() const { return name_; }

private:
    std::string name_;
};

class Registry {
public:
    bool add(std::shared_ptr<Plugin> plugin);
    std::shared_ptr<Plugin> get(const std::string &name) const;
    std::set<std::string> names() const;
    void clear() { plugins_.clear(); }
    static Registry &shared();

private:
    std::map<std::string, std::shared_ptr<Plugin>> plugins_;
};

bool Registry::add(std::shared_ptr<Plugin> plugin)
{
    if (!plugin)
        return false;
    const std::string key = plugin->name();
    return plugins_.emplace(key, std::move(plugin)).second;
}

std::shared_ptr<Plugin> Registry::get(const std::string &name) const
{
    auto it = plugins_.find(name);
    return it == plugins_.end() ? nullptr : it->second;
}

std::set<std::string> Registry::names() const
{
    std::set<std::string> out;
    for (const auto &entry : plugins_)
        out.insert(entry.first);
    return out;
}

Registry &Registry::shared()
{
    static Registry r;
    return r;
}

int register_default(const std::string &name)
{
    return Registry::shared().add(std::make_shared<Plugin>(name)) ? 1 : 0;
}
