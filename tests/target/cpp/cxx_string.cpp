/* globals: greeting; functions: Greeter_Greeter Greeter_greet shout; types: Greeter */
#include <string>
std::string greeting;
class Greeter {
 public:
  Greeter(const std::string &who);
  std::string greet() const;
 private:
  std::string who_;
};
Greeter::Greeter(const std::string &who) : who_(who) {}
std::string Greeter::greet() const { return "hello " + who_; }
std::string shout(std::string s) { return s + "!"; }
