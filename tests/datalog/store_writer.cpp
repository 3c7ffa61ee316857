// Child process of the durability test: appends samples to the record store in `folder` as
// fast as it can and prints the SeqNo of each sample once its append has returned.
#include "StoreTestSupport.h"

#include "datalog/RecordStore.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;  // usage: store_writer FOLDER
    RecordStore store;
    const StoreOpenResult opened = store.open(QString::fromLocal8Bit(argv[1]));
    if (!opened.ok() || !store.clearBuffer()) {
        std::fprintf(stderr, "cannot open: %s\n", qPrintable(opened.message));
        return 3;
    }
    // Bounded, so that a writer whose parent vanished still ends.
    for (qint64 i = 0; i < 200000; ++i) {
        if (!store.appendSample(StoreTest::sample(i))) {
            std::fprintf(stderr, "append failed: %s\n", qPrintable(store.lastError().description));
            return 4;
        }
        std::printf("%lld\n", static_cast<long long>(i));
        std::fflush(stdout);
    }
    return 0;
}
