// Replays the kept corpus and a bounded number of mutated and random inputs through the fuzz
// entry, so that CI exercises it with the ordinary compiler.
//   fuzz_replay <corpus folder> [generated inputs] [seed]

#include "fuzzentry.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>

#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

const char* const Tokens[] = {"*p",     "*pA", "*pC",    "*pD002", "*pN000", "*pX",
                              "*pR004", "*pK", "*pH000", "*pM1",   "002",    "256",
                              "N",      "Q",   "R",      "\xff",   "\x00"};

QByteArray Mutate(QByteArray input, std::mt19937& rng) {
    const int steps = 1 + int(rng() % 4);
    for (int s = 0; s < steps; ++s) {
        const qsizetype at = input.isEmpty() ? 0 : qsizetype(rng() % quint32(input.size() + 1));
        switch (rng() % 5) {
        case 0: // flip a byte
            if (!input.isEmpty())
                input[at % input.size()] = char(rng());
            break;
        case 1: // insert a token
            input.insert(at, Tokens[rng() % std::size(Tokens)]);
            break;
        case 2: // cut the tail
            input.truncate(at);
            break;
        case 3: // delete a run
            input.remove(at, qsizetype(rng() % 8));
            break;
        default: // duplicate a run
            input.insert(at, input.mid(at, qsizetype(rng() % 16)));
            break;
        }
    }
    return input.left(4096);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: fuzz_replay <corpus> [count] [seed]\n");
        return 2;
    }
    const int count = argc > 2 ? std::atoi(argv[2]) : 5000;
    const unsigned seed = argc > 3 ? unsigned(std::strtoul(argv[3], nullptr, 10)) : 4097u;
    QDir dir(QString::fromLocal8Bit(argv[1]));
    QList<QByteArray> corpus;
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            corpus.append(file.readAll());
    }
    if (corpus.isEmpty()) {
        std::fprintf(stderr, "no corpus in %s\n", argv[1]);
        return 2;
    }
    for (const QByteArray& input : corpus)
        LobranaFuzzOne(reinterpret_cast<const uint8_t*>(input.constData()), size_t(input.size()));
    std::mt19937 rng(seed);
    for (int i = 0; i < count; ++i) {
        QByteArray input;
        if (rng() % 8 == 0) {
            input.resize(qsizetype(rng() % 64));
            for (char& c : input)
                c = char(rng());
        } else {
            input = Mutate(corpus.at(qsizetype(rng() % quint32(corpus.size()))), rng);
        }
        LobranaFuzzOne(reinterpret_cast<const uint8_t*>(input.constData()), size_t(input.size()));
    }
    std::printf("replayed %lld corpus files and %d generated inputs\n",
                static_cast<long long>(corpus.size()), count);
    return 0;
}
