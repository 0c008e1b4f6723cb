// One poll through the whole chain the scenes sit on: LibClient,
// ProxyObject, AppController, OverviewModel, and the nine sorting proxies of
// the list and the four priority rows.
//
//   build/bench/pipeline_bench [--benchmark_repetitions=5 ...]
//
// Arguments of each case: the number of applications, how many of them the
// poll reports changed (every one, or every tenth), and whether the scenes'
// proxies are there (1) or not (0). The counters: peakRssMB is the process's
// peak resident memory so far (the cases run in the order below, so the
// figure after a case is that of the largest table so far); rssMB is the
// resident memory at the end of the case.

#include "models/appcontroller.h"
#include "models/sortfilterproxymodel.h"

#include "bridge/proxyobject.h"

#include "servicelink/velcomm.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

// A figure of /proc/self/status ("VmRSS", "VmHWM") in MB.
double statusMegabytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0)
            return std::stod(line.substr(field.size() + 1)) / 1024.0;
    }
    return 0.0;
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
    // The list, sorted by download speed, descending (nothing is pinned).
    bool listInOrder() const
    {
        const SortFilterProxyModel& list = *proxies.front();
        for (int row = 1; row < list.rowCount(); ++row) {
            if (list.index(row - 1, 0).data(OverviewModel::DownloadSpeedRole).toUInt()
                < list.index(row, 0).data(OverviewModel::DownloadSpeedRole).toUInt())
                return false;
        }
        return true;
    }
    std::vector<std::unique_ptr<SortFilterProxyModel>> proxies;
};

void BM_Poll(benchmark::State& state)
{
    const auto count = static_cast<std::uint32_t>(state.range(0));
    const auto step = static_cast<std::uint32_t>(state.range(1));   // every step-th changes
    const bool withScene = state.range(2) != 0;
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
        std::unique_ptr<SceneProxies> scene;
        if (withScene)
            scene = std::make_unique<SceneProxies>(controller.overviewModel());
        ProxyObject* proxy = controller.proxyObject();
        if (controller.overviewModel()->rowCount() != static_cast<int>(count))
            state.SkipWithError("the model did not take the table over");

        std::uint32_t round = 0;
        for (auto _ : state) {
            state.PauseTiming();
            ++round;
            for (std::uint32_t i = 0; i < count; i += step)
                apps[i].downloadSpeed = (i * 7919u + round * 104729u) % 100000u;
            service.publishApplications(apps);
            state.ResumeTiming();
            proxy->onTimer();
        }
        if (scene && !scene->listInOrder())
            state.SkipWithError("the list is not in download order after the polls");
        state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * count);
        std::uint64_t rows = 0;
        for (std::size_t i = 0; scene && i < scene->proxies.size(); ++i)
            rows += static_cast<std::uint64_t>(scene->proxies[i]->rowCount());
        state.counters["proxyRows"] = static_cast<double>(rows);
        state.counters["rssMB"] = statusMegabytes("VmRSS");
        state.counters["peakRssMB"] = statusMegabytes("VmHWM");
    }
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
}

BENCHMARK(BM_Poll)
    ->ArgNames({"apps", "step", "scene"})
    ->Args({100, 1, 1})
    ->Args({1000, 1, 1})
    ->Args({10000, 1, 1})
    ->Args({1000, 10, 1})
    ->Args({10000, 10, 1})
    ->Args({1000, 1, 0})
    ->Args({10000, 1, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

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
