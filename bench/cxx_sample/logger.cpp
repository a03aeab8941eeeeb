#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

enum class Level : int { Debug = 0, Info, Warning, Error };

class Logger {
public:
    static Logger &instance();
    void set_level(Level level) { level_ = level; }
    void log(Level level, const std::string &text);
    std::vector<std::string> recent(std::size_t n) const;
    static int lines_written;

private:
    Logger() = default;
    Level level_ = Level::Info;
    mutable std::mutex mutex_;
    std::vector<std::string> history_;
};

int Logger::lines_written = 0;

Logger &Logger::instance()
{
    static Logger logger;
    return logger;
}

void Logger::log(Level level, const std::string &text)
{
    if (level < level_)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    history_.push_back(text);
    std::fprintf(stderr, "[%d] %s\n", static_cast<int>(level), text.c_str());
    ++lines_written;
}

std::vector<std::string> Logger::recent(std::size_t n) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (n >= history_.size())
        return history_;
    return std::vector<std::string>(history_.end() - static_cast<long>(n), history_.end());
}

void log_info(const std::string &text) { Logger::instance().log(Level::Info, text); }

Level parse_level(const char *name)
{
    std::string s(name);
    if (s == "debug") return Level::Debug;
    if (s == "warning") return Level::Warning;
    if (s == "error") return Level::Error;
    return Level::Info;
}
