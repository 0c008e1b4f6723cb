// A service whose every move the test dictates, one command per line on
// stdin; it answers each with "ok" (or the requested dump) on stdout.
//
//   param ID VALUE            set a parameter
//   drop-param ID             take a parameter out
//   string ID [TEXT...]       set a text (the rest of the line)
//   drop-string ID            take a text out
//   app ID PRIORITY NAME [RESERVED...]   add or replace an application
//   site ID PRIORITY NAME     add or replace a site
//   speed ID DOWN             change an application's download speed
//   drop-app ID               take an application out
//   pull                      take over what the client wrote; prints a
//                             "took ..." line per take-over, then "ok"
//   dump-app ID               "app ID priority P pinned X down D reserved TEXT"
//   quit
//
// The object directory is $KESTRIX_IPC_DIR.

#include "servicelink/velcomm.h"

#include <iostream>
#include <map>
#include <sstream>
#include <string>

using namespace servicelink;

namespace {

std::u16string u16(const std::string& text)
{
    return std::u16string(text.begin(), text.end());   // the tests speak ASCII
}

std::string ascii(const std::u16string& text)
{
    return std::string(text.begin(), text.end());
}

std::string rest(std::istringstream& line)
{
    std::string text;
    std::getline(line >> std::ws, text);
    return text;
}

class Reports : public Callback {
public:
    std::int32_t onParameterChanged(std::uint32_t id, std::uint32_t value) override
    {
        std::cout << "took param " << id << " " << value << "\n";
        return 0;
    }
    std::int32_t onParameterAdd(std::uint32_t id, std::uint32_t value) override
    {
        return onParameterChanged(id, value);
    }
    std::int32_t onAppChanged(std::uint32_t id, const AppInfo& info) override
    {
        std::cout << "took app " << id << " priority " << info.priority << " pinned "
                  << int(info.isPinned) << "\n";
        return 0;
    }
    std::int32_t onSiteChanged(std::uint32_t id, const SiteInfo& info) override
    {
        std::cout << "took site " << id << " priority " << info.priority << " pinned "
                  << int(info.isPinned) << "\n";
        return 0;
    }
};

} // namespace

int main()
{
    Reports reports;
    ServiceLink link;
    if (link.createObjects() != 0 || link.vlcommRegister(&reports) != 0 || link.beginNewEpoch() != 0) {
        std::cout << "cannot serve" << std::endl;
        return 1;
    }
    std::map<std::uint32_t, AppInfo> apps;
    std::map<std::uint32_t, SiteInfo> sites;
    std::cout << "ready" << std::endl;

    std::string text;
    while (std::getline(std::cin, text)) {
        std::istringstream line(text);
        std::string command;
        line >> command;
        std::uint32_t id = 0;
        line >> id;
        if (command == "param") {
            std::uint32_t value = 0;
            line >> value;
            link.setParameters({{id, value}});
        } else if (command == "drop-param") {
            link.removeParameter(id);
        } else if (command == "string") {
            link.setStrings({{id, u16(rest(line))}});
        } else if (command == "drop-string") {
            link.removeString(id);
        } else if (command == "app" || command == "site") {
            std::uint32_t priority = 4;
            std::string name;
            line >> priority >> name;
            if (command == "app") {
                AppInfo info{};
                info.id = id;
                info.priority = priority;
                textToField(info.name, u16(name));
                textToField(info.reservedText, u16(rest(line)));
                apps[id] = info;
                std::vector<AppInfo> all;
                for (const auto& entry : apps)
                    all.push_back(entry.second);
                link.publishApplications(all);
            } else {
                SiteInfo info{};
                info.id = id;
                info.priority = priority;
                textToField(info.name, u16(name));
                sites[id] = info;
                std::vector<SiteInfo> all;
                for (const auto& entry : sites)
                    all.push_back(entry.second);
                link.publishSites(all);
            }
        } else if (command == "speed") {
            line >> apps[id].downloadSpeed;
            std::vector<AppInfo> all;
            for (const auto& entry : apps)
                all.push_back(entry.second);
            link.publishApplications(all);
        } else if (command == "drop-app") {
            apps.erase(id);
            link.removeApplication(id);
        } else if (command == "pull") {
            link.poll();
        } else if (command == "dump-app") {
            AppInfo info{};
            if (link.getApplication(id, info) == 0)
                std::cout << "app " << id << " priority " << info.priority << " pinned "
                          << int(info.isPinned) << " down " << info.downloadSpeed << " reserved "
                          << ascii(textFromField(info.reservedText)) << "\n";
            else
                std::cout << "no app " << id << "\n";
        } else if (command == "quit") {
            break;
        } else {
            std::cout << "unknown command " << command << "\n";
        }
        std::cout << "ok" << std::endl;
    }
    return 0;
}
