#include "CsvWriter.h"
#include "Cp1251.h"
#include "MemorySink.h"
#include "files/FilesTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

EventInfo event(int number, double time, std::string info, std::string note) {
    EventInfo e;
    e.number = number;
    e.time = time;
    e.infoText = std::move(info);
    e.noteText = std::move(note);
    e.typeText = "(1) not exported";
    e.category = 3;
    e.codeByte = 0xA5;
    return e;
}

std::string text(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(CsvWriter, QuotesAFieldOnlyWhenItMustAndDoublesItsQuotes) {
    const std::pair<std::string, std::string> rows[] = {
        {"", ""},
        {"Норма", "Норма"},
        {" blanks kept ", " blanks kept "},
        {"comma, apostrophe's", "comma, apostrophe's"},
        {"a;b", "\"a;b\""},
        {";", "\";\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"\"", "\"\"\"\""},
        {"line\r\nbreak", "\"line\r\nbreak\""},
        {"lf\n", "\"lf\n\""},
        {"\rcr", "\"\rcr\""},
        {std::string("nul\0inside", 10), std::string("nul\0inside", 10)},
    };
    for (const auto& [field, written] : rows) {
        std::string out = "x";
        CsvWriter::appendField(out, field);
        EXPECT_EQ(out, "x" + written) << field;
    }
}

TEST(CsvWriter, WritesTitleHeaderAndEveryEventInListOrder) {
    EventCollection list;
    list.append(event(1, 45292.5, "Зона 2. Пожар", ""));
    list.append(event(10, 45293.0625, "Питание; сеть", "Время требует корректировки"));
    list.append(event(3, 45292.0, "Пульт \"A\"", "две\r\nстроки"));
    MemorySink sink;
    ASSERT_TRUE(CsvWriter::write(sink, "Номер прибора: 7", &list));
    EXPECT_EQ(text(sink.bytes), "\xEF\xBB\xBF"
                                "Номер прибора: 7;;;\r\n"
                                "№;Время;Информация;Примечание\r\n"
                                "1;01.01.2024 12:00:00;Зона 2. Пожар;\r\n"
                                "10;02.01.2024 01:30:00;\"Питание; сеть\";Время требует "
                                "корректировки\r\n"
                                "3;01.01.2024 00:00:00;\"Пульт \"\"A\"\"\";\"две\r\nстроки\"\r\n");
}

TEST(CsvWriter, WithoutEventsTheTitleAndHeaderRowsOnly) {
    const std::string expected = "\xEF\xBB\xBF"
                                 ";;;\r\n"
                                 "№;Время;Информация;Примечание\r\n";
    const EventCollection empty;
    for (const EventCollection* events : {static_cast<const EventCollection*>(nullptr), &empty}) {
        MemorySink sink;
        ASSERT_TRUE(CsvWriter::write(sink, "", events));
        EXPECT_EQ(text(sink.bytes), expected);
    }
}

TEST(CsvWriter, AFailingSinkEndsTheWriting) {
    const auto list = decodedList(Variant::Garage, 5000, 3);
    for (size_t limit : {size_t{0}, size_t{10}, size_t{70000}, size_t{200000}}) {
        MemorySink memory;
        FailingSink sink(memory, limit);
        EXPECT_FALSE(CsvWriter::write(sink, "t", list.get())) << limit;
        EXPECT_LE(memory.bytes.size(), limit);
    }
}

class CsvFile : public TempFolderTest {};

TEST_F(CsvFile, SaveWritesTheWholeFileOrLeavesTheOldOneUntouched) {
    EventCollection list;
    list.append(event(1, 45292.5, "Зона 2. Пожар", ""));
    const auto path = dir_ / "events.csv";
    writeBytes(path, {'o', 'l', 'd'});
    ASSERT_EQ(CsvWriter::save(path.string(), "T", &list), FileStatus::Ok);
    EXPECT_EQ(text(fileBytes(path)), "\xEF\xBB\xBF"
                                     "T;;;\r\n"
                                     "№;Время;Информация;Примечание\r\n"
                                     "1;01.01.2024 12:00:00;Зона 2. Пожар;\r\n");

    writeBytes(path, {'o', 'l', 'd'});
    const auto big = decodedList(Variant::Main, 20000, 5);
    {
        FileSizeLimit limit(4096);
        EXPECT_EQ(CsvWriter::save(path.string(), "T", big.get()), FileStatus::WriteFailed);
    }
    EXPECT_EQ(text(fileBytes(path)), "old");
    EXPECT_EQ(folderContents(), std::vector<std::string>{"events.csv"});

    EXPECT_EQ(CsvWriter::save((dir_ / "missing" / "x.csv").string(), "T", &list),
              FileStatus::CannotCreate);
    EXPECT_EQ(CsvWriter::save(dir_.string(), "T", &list), FileStatus::CannotCreate);
    EXPECT_EQ(folderContents(), std::vector<std::string>{"events.csv"});
}

// Every character of code page 1251 (the texts a log file can hold), quotes,
// separators and line breaks of every kind, as the csv module of Python reads
// them back.
TEST_F(CsvFile, PythonsCsvModuleReadsBackTheList) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const std::string every = cp1251::toUtf8(all);
    std::string reversed(all.rbegin(), all.rend());
    const std::string everyReversed = cp1251::toUtf8(reversed);

    struct Row {
        int number;
        double time;
        std::string shownTime, info, note;
    };
    const std::vector<Row> rows = {
        {1, 45292.5, "01.01.2024 12:00:00", every, ""},
        {2, 45293.0625, "02.01.2024 01:30:00", "", everyReversed},
        {124, 45293.0 - 1.0 / 86400, "01.01.2024 23:59:59", "\"", "\"\""},
        {4, 36526.0, "01.01.2000 00:00:00", "a;b;;", ";"},
        {5, 45292.5, "01.01.2024 12:00:00", "строка 1\r\nстрока 2", "\n"},
        {6, 45292.5, "01.01.2024 12:00:00", "\r", " пробелы по краям "},
        {-7, 45292.5, "01.01.2024 12:00:00", "Зона 2. \"Пожар\"; запуск\nтушение",
         "Время отредактировано вручную"},
    };
    EventCollection list;
    for (const Row& r : rows)
        list.append(event(r.number, r.time, r.info, r.note));
    const std::string title = "Прибор №7; \"основной\"\r\nвариант";
    const auto path = dir_ / "roundtrip.csv";
    ASSERT_EQ(CsvWriter::save(path.string(), title, &list), FileStatus::Ok);

    std::vector<std::vector<std::string>> expected = {{title, "", "", ""},
                                                      {"№", "Время", "Информация", "Примечание"}};
    for (const Row& r : rows)
        expected.push_back({std::to_string(r.number), r.shownTime, r.info, r.note});

    const std::string command =
        std::string(PYTHON3_EXECUTABLE) + " " + CSV_READER + " '" + path.string() + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    ASSERT_EQ(::pclose(pipe), 0) << output;

    std::vector<std::vector<std::string>> read;
    size_t start = 0;
    for (size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1) {
        std::vector<std::string> fields;
        const std::string line = output.substr(start, end - start);
        size_t from = 0;
        while (true) {
            const size_t tab = line.find('\t', from);
            const std::string hex = line.substr(from, tab - from);
            std::string field;
            for (size_t i = 0; i + 1 < hex.size(); i += 2)
                field.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
            fields.push_back(field);
            if (tab == std::string::npos)
                break;
            from = tab + 1;
        }
        read.push_back(fields);
    }
    ASSERT_EQ(read.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(read[i], expected[i]) << "record " << i;
}

} // namespace
