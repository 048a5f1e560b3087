// The item list editor with a large site: an item list file of LISTS lists and a back office
// of ITEMS items (served by the back-office stand-in, as Tidewell reads it). Prints the time
// from opening the editor to its first paint, and from opening a list's entries (reading the
// back office's items included) to the sub-editor's first paint.
//
//   bench_editors STANDIN_MODULE [LISTS [ITEMS]]
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "app/automation/automation_objects.h"
#include "backoffice/import_command.h"
#include "naxml/maintenance/maintenance_writers.h"
#include "naxml/maintenance/packed_cell.h"
#include "naxml/ui/editor_launch.h"
#include "naxml/ui/grid_dialog.h"
#include "platform/os_services.h"

namespace {

class NoPrompter final : public tw::Prompter {
public:
    void ShowMessage(const std::string&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
};

bool RegisterStandIn(const char* module) {
    bool loaded = false;
    std::string error;
    void* entry = tw::platform::LoadPinnedSymbol(module, "DllRegisterServer", &loaded, &error);
    if (entry == nullptr) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    return reinterpret_cast<HRESULT (*)()>(entry)() == S_OK;
}

bool ImportItems(const std::string& backOffice, const std::string& csvPath, int items) {
    std::string csv = "id,UPC_code,UPC_pack_size,description,pack_size,active\n";
    for (int n = 0; n < items; ++n) {
        char line[128];
        std::snprintf(line, sizeof line, "%d,0%010d,1,Item %d,%d,%d\n", n + 1, 40000000 + n, n + 1,
                      1 + n % 12, n % 10 ? 1 : 0);
        csv += line;
    }
    if (FILE* file = std::fopen(csvPath.c_str(), "w")) {
        std::fwrite(csv.data(), 1, csv.size(), file);
        std::fclose(file);
    }
    std::ostringstream out, err;
    const bool imported = tw::backoffice::RunItemImport({backOffice, csvPath}, out, err) == 0;
    if (!imported)
        std::fprintf(stderr, "%s", err.str().c_str());
    return imported;
}

bool WriteItemLists(const tw::naxml::MaintenanceSite& site, int lists) {
    std::vector<tw::naxml::ItemListRow> rows;
    for (int n = 0; n < lists; ++n) {
        std::vector<tw::naxml::PackedGroup> entries;
        for (int e = 0; e < 8; ++e)
            entries.push_back(
                {"0" + std::to_string(400000000000 + n * 8 + e), "upcA", "0", "", ""});
        rows.push_back(
            {"L" + std::to_string(n), "List " + std::to_string(n), tw::naxml::PackCell(entries)});
    }
    tw::naxml::PendingDeletions none;
    return tw::naxml::SaveItemListFile(site, rows, none);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_editors STANDIN_MODULE [LISTS [ITEMS]]\n");
        return 2;
    }
    QApplication app(argc, argv);
    const int lists = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int items = argc > 3 ? std::atoi(argv[3]) : 50000;
    QTemporaryDir scratch;
    const std::string root = scratch.path().toStdString();
    setenv("COMLITE_REGISTRY", (root + "/registry.reg").c_str(), 1);
    setenv("TIDEWELL_LOCK_DIR", root.c_str(), 1);
    const std::string backOffice = root + "/qor/";
    std::filesystem::create_directories(backOffice);
    tw::naxml::MaintenanceSite site;
    site.directory = root + "/";
    if (!RegisterStandIn(argv[1]) || !ImportItems(backOffice, root + "/items.csv", items) ||
        !WriteItemLists(site, lists))
        return 1;

    NoPrompter prompter;
    tw::naxml::PendingDeletions deletions;
    QElapsedTimer clock;
    clock.start();
    tw::naxml::ItemListEditor editor(site, prompter, deletions);
    editor.Load();
    tw::ui::ItemListDialog dialog(
        editor, [&] { return tw::ui::ReadItemChoices(backOffice, backOffice, site.siteNumber); });
    dialog.show();
    dialog.grab();  // the first paint
    const double openSeconds = clock.nsecsElapsed() / 1e9;

    double entriesSeconds = 0;
    std::size_t choices = 0;
    QTimer::singleShot(0, [&] {
        clock.restart();
        QTimer::singleShot(0, [&] {
            if (auto* entries =
                    qobject_cast<tw::ui::ItemEntriesDialog*>(QApplication::activeModalWidget())) {
                entries->grab();
                entriesSeconds = clock.nsecsElapsed() / 1e9;
                choices = editor.Choices().size();
                entries->reject();
            }
        });
        dialog.OpenEntries(0);
        dialog.reject();
    });
    app.exec();
    std::printf("item list editor: %d lists, %d back-office items (%zu choices)\n", lists, items,
                choices);
    std::printf("open to first paint:          %.3f s\n", openSeconds);
    std::printf("entry sub-editor first paint: %.3f s (goal: under 0.5 s each)\n", entriesSeconds);
    return 0;
}
