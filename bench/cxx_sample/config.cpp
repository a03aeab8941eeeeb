#include <optional>
#include <string>
#include <unordered_map>
#include <cstdlib>

class Config {
public:
    void set(const std::string &key, std::string value);
    std::optional<std::string> get(const std::string &key) const;
    int get_int(const std::string &key, int fallback) const;
    bool get_bool(const std::string &key, bool fallback = false) const;
    bool load_line(const std::string &line);

    static Config &global();

private:
    std::unordered_map<std::string, std::string> values_;
};

void Config::set(const std::string &key, std::string value)
{
    values_[key] = std::move(value);
}

std::optional<std::string> Config::get(const std::string &key) const
{
    auto it = values_.find(key);
    if (it == values_.end())
        return std::nullopt;
    return it->second;
}

int Config::get_int(const std::string &key, int fallback) const
{
    auto v = get(key);
    return v ? std::atoi(v->c_str()) : fallback;
}

bool Config::get_bool(const std::string &key, bool fallback) const
{
    auto v = get(key);
    if (!v)
        return fallback;
    return *v == "1" || *v == "true" || *v == "yes";
}

bool Config::load_line(const std::string &line)
{
    auto eq = line.find('=');
    if (eq == std::string::npos || eq == 0)
        return false;
    set(line.substr(0, eq), line.substr(eq + 1));
    return true;
}

Config &Config::global()
{
    static Config instance;
    return instance;
}

const char *config_path = "shelf.conf";
