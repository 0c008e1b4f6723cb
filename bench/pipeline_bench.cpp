// One poll that reports every application changed, through the whole chain
// the scenes sit on: LibClient, ProxyObject, AppController, OverviewModel,
// and the nine sorting proxies of the list and the four priority rows.
//
//   build/bench/pipeline_bench [--benchmark_repetitions=5 ...]

#include "models/appcontroller.h"
#include "models/sortfilterproxymodel.h"

#include "bridge/proxyobject.h"

#include "servicelink/velcomm.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string residentMemory()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return line.substr(6);
    }
    return "?";
}

// The proxies the scenes stack on the model: the list, and for each of the
// four priority rows a first stage (system applications hidden) and a second
// (one level, sorted).
struct SceneProxies {
    explicit SceneProxies(OverviewModel* model)
    {
        auto make = [this](QObject* source) {
            proxies.push_back(std::make_unique<SortFilterProxyModel>());
            SortFilterProxyModel& proxy = *proxies.back();
            proxy.classBegin();
            proxy.setSource(source);
            return &proxy;
        };
        SortFilterProxyModel* list = make(model);
        list->setFilterRoleInt(OverviewModel::AppProcessClassRole);
        list->setFilterString(QStringLiteral("0"));
        list->setSortRoleInt(OverviewModel::DownloadSpeedRole);
        list->componentComplete();
        list->setSortOrder(Qt::DescendingOrder);
        for (int level = 1; level <= 4; ++level) {
            SortFilterProxyModel* first = make(model);
            first->setFilterRoleInt(OverviewModel::AppProcessClassRole);
            first->setFilterString(QStringLiteral("0"));
            first->componentComplete();
            SortFilterProxyModel* second = make(first);
            second->setFilterRoleInt(OverviewModel::PriorityRole);
            second->setFilterString(QStringLiteral("^%1$").arg(level));
            second->setSortRoleInt(OverviewModel::AppNameRole);
            second->componentComplete();
            second->setSortOrder(Qt::AscendingOrder);
        }
    }
    std::vector<std::unique_ptr<SortFilterProxyModel>> proxies;
};

void BM_PollAllChanged(benchmark::State& state)
{
    const auto count = static_cast<std::uint32_t>(state.range(0));
    char pattern[] = "/tmp/kestrix-pipeline-XXXXXX";
    const std::string directory = ::mkdtemp(pattern);
    ::setenv("KESTRIX_IPC_DIR", directory.c_str(), 1);
    {
        servicelink::ServiceLink service;
        service.setObjectDirectory(directory);
        service.createObjects();
        service.vlcommRegister(nullptr);
        service.beginNewEpoch();
        std::vector<servicelink::AppInfo> apps(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            apps[i].id = i + 1;
            apps[i].priority = 1 + i % 4;
            apps[i].processClass = i % 10 == 0 ? 1 : 0;
            const std::u16string name = u"app-" + std::u16string(1, char16_t(u'a' + i % 26))
                                        + std::u16string(1, char16_t(u'a' + (i / 26) % 26));
            servicelink::textToField(apps[i].name, name);
        }
        service.setParameters({{0, 1}, {1, 1}, {2, 1}});
        service.publishApplications(apps);

        AppController controller;   // registers and takes the first table over
        SceneProxies scene(controller.overviewModel());
        ProxyObject* proxy = controller.proxyObject();
        if (controller.overviewModel()->rowCount() != static_cast<int>(count))
            state.SkipWithError("the model did not take the table over");
        if (count == 1000)
            std::printf("resident memory with %u applications: %s\n", count, residentMemory().c_str());

        std::uint32_t round = 0;
        for (auto _ : state) {
            state.PauseTiming();
            ++round;
            for (std::uint32_t i = 0; i < count; ++i)
                apps[i].downloadSpeed = (i * 7919u + round * 104729u) % 100000u;
            service.publishApplications(apps);
            state.ResumeTiming();
            proxy->onTimer();
        }
        state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * count);
        std::uint64_t rows = 0;
        for (const auto& p : scene.proxies)
            rows += static_cast<std::uint64_t>(p->rowCount());
        state.counters["proxyRows"] = static_cast<double>(rows);
    }
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
}

BENCHMARK(BM_PollAllChanged)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    // Quiet: the chain logs every report, and a log line per row would be
    // what is measured.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
