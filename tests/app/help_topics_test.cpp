// The help window's texts: each topic opens with its fixed sentence, the
// paragraphs are Windows-1250 lines ended by CR LF, and what the topics say
// about the browser and the configuration holds for this program.

#include "app/version.h"
#include "help/help_topics.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "app/settings.h"
#include "app/textio.h"
#include "test_support.h"
#include "text/cp1250.h"

namespace {

using help::kHelpTopicCount;

std::string cp1250(std::string_view utf8) { return text::toCp1250(utf8); }

bool contains(const std::string& haystack, std::string_view utf8Needle) {
  return haystack.find(cp1250(utf8Needle)) != std::string::npos;
}

// The sentence each topic begins with, word for word (typing errors
// included: the texts are quoted as the program has always shown them).
const char* const kBeginnings[kHelpTopicCount] = {
    "Tato aplikace na Mincar je schopna vést nejen domácí finance, ale i pokladní knihy (resp. "
    "livovolné množství pokladních knih) a to i v síťovém provozu.",
    "Tato ikona otevře pomocí klasického dialogu windows zálohu dat, kterou si uživatel předtím "
    "vytvořil pomocí zálohy dat.",
    "Tato ikona umožní vytvořit záložní kopii dat právě rozpracované evidence do souboru na "
    "pevném disku.",
    "Tato funkce přidá nový záznam na konec deníku, přidělí mu o jedničku vyšší číslo, než je "
    "nejvyšší hodnota v celém seznamu, přidělí druh pohybu, který je právě nalistován "
    "v číselníku pohybů.",
    "Tato funkce smaže právě označený záznam v deníku... !!! pozor !!! nevaruje a smazání "
    "proběhne velmi rychle... pokud s tímto záznamem pracuje jiný uživatel po síti je smazání "
    "tohoto záznamu zablokováno.",
    "Toto tlačítko otevře dialog s číselníkem pohybů.",
    "Toto tlačítko otevře dialog s číselníkem knih.",
    "Toto tlačítko otevře dialog s přehledným měsíčním kalendářem ... datum, které v tomto "
    "dialogu nakliknete bude přidělováno novým záznamům.",
    "Přepočte zůstatky u jednotlivých řádků deníku a v číselníku knih (resp. zůstatky jsou "
    "přepočítávány až po stisku tohoto tlačítka.",
    "Toto tlačítko spustí dialog pro tisk pokladního dokladu, na řádek, který je právě vybrán "
    "v datové mřížce.",
    "Dialog, který se objeví po stisku tohoto tlačítka můžete využít dvěma způsoby:",
    "Toto tlačítko spustí konfigurační dialog pro nastavení internetového prohlížeče, který "
    "zprostředkovává tisk dokladů a knih.",
    "Toto tlačítko ukončí běh této aplikace ...",
    "Tato ikona přidá do deníku pohyby z bankovního výpisu, který si stáhnete z internetového "
    "bankovnictví ve formátu GPC (ABO) nebo CSV.",
    "Okno Smazané záznamy (nabídka Soubor – Smazané záznamy) ukáže smazané řádky deníku, "
    "nejnovější nahoře, se všemi jejich údaji a s číslem záznamu v tabulce.",
};

// Topics that are their sentence and nothing more.
bool isWholeText(int topic) { return topic == 4 || topic == 12; }

TEST(HelpTopics, EachTopicBeginsWithItsSentence) {
  const auto topics = help::helpTopicTexts();
  for (int topic = 0; topic < kHelpTopicCount; ++topic) {
    SCOPED_TRACE("topic " + std::to_string(topic));
    const std::string beginning = cp1250(kBeginnings[topic]);
    EXPECT_EQ(topics[topic].substr(0, beginning.size()), beginning);
    if (isWholeText(topic)) {
      EXPECT_EQ(topics[topic], beginning);
    } else {
      // The rest explains the command: at least a sentence of its own.
      EXPECT_GT(topics[topic].size(), beginning.size() + 80);
    }
  }
}

TEST(HelpTopics, ParagraphsAreLinesEndedByCrLf) {
  const auto topics = help::helpTopicTexts();
  for (int topic = 0; topic < kHelpTopicCount; ++topic) {
    SCOPED_TRACE("topic " + std::to_string(topic));
    const std::string& t = topics[topic];
    ASSERT_FALSE(t.empty());
    EXPECT_NE(t.front(), '\r');
    EXPECT_NE(t.back(), '\n');
    EXPECT_NE(t.back(), ' ');
    EXPECT_EQ(t.find("\r\n\r\n\r\n"), std::string::npos) << "two empty lines";
    for (size_t i = 0; i < t.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(t[i]);
      if (c == '\r') {
        ASSERT_TRUE(i + 1 < t.size() && t[i + 1] == '\n') << "CR without LF at " << i;
        EXPECT_TRUE(i == 0 || t[i - 1] != ' ') << "blank before the line end at " << i;
      } else if (c == '\n') {
        EXPECT_TRUE(i > 0 && t[i - 1] == '\r') << "LF without CR at " << i;
      } else {
        EXPECT_GE(c, 0x20) << "control character at " << i;
        // The five bytes that Windows-1250 leaves undefined come only from
        // a source text in the wrong encoding.
        EXPECT_TRUE(c != 0x81 && c != 0x83 && c != 0x88 && c != 0x90 && c != 0x98)
            << "undefined byte at " << i;
      }
    }
  }
}

TEST(HelpTopics, TheQuitTopicIsOneLineAndTheCashBookTopicTheLongest) {
  const auto topics = help::helpTopicTexts();
  EXPECT_EQ(topics[12].find('\n'), std::string::npos);
  for (int topic = 0; topic < kHelpTopicCount; ++topic) {
    if (topic != 10) {
      EXPECT_LT(topics[topic].size(), topics[10].size()) << "topic " << topic;
    }
  }
  EXPECT_GT(topics[10].size(), 1500u);
  EXPECT_LT(topics[10].size(), 3200u);
}

// The overview and the export are the search dialog's too: its topic
// names both commands as the dialog and the menu show them.
TEST(HelpTopics, TheCashBookTopicExplainsTheOverviewAndTheExport) {
  const std::string topic = help::helpTopicTexts()[10];
  for (const char* piece : {"3. Přehled.", "příkaz Přehled v nabídce Tisky", "4. Export do CSV...",
                            "v dialogu pro uložení", "přesně shodují"}) {
    EXPECT_TRUE(contains(topic, piece)) << piece;
  }
}

TEST(HelpTopics, PrintingTopicsNameThisPlatformsBrowserCommand) {
  const auto topics = help::helpTopicTexts();
  // The preset command as the user sees it in the configuration dialog.
  std::string command = app::kDefaultBrowser;
  while (!command.empty() && command.back() == ' ') command.pop_back();
  for (int topic : {9, 11}) {
    SCOPED_TRACE("topic " + std::to_string(topic));
    EXPECT_TRUE(contains(topics[topic], command));
    EXPECT_TRUE(contains(topics[topic], "Soubor – Konfigurace"));
  }
  EXPECT_TRUE(contains(topics[11], app::kDefaultFilespec));
  for (int topic = 0; topic < kHelpTopicCount; ++topic) {
    SCOPED_TRACE("topic " + std::to_string(topic));
    for (const char* foreign : {"Explorer", "IExplore", "Microsoft", "Windows"}) {
      EXPECT_FALSE(contains(topics[topic], foreign)) << foreign;
    }
  }
}

TEST(HelpTopics, TheConfigurationTopicsAdviceBringsThePresetValuesBack) {
  const std::string topic = help::helpTopicTexts()[11];
  EXPECT_TRUE(contains(topic, "Chybné hodnoty znemožní veškerý tisk."));
  EXPECT_TRUE(contains(topic, "obě pole vymažte, program ukončete a znovu spusťte: do polí se "
                              "opět doplní přednastavené hodnoty."));

  // What the advice does: the emptied fields are stored at the end of the
  // run, and the next start reads the file over the defaults.
  testing_support::TempDir dir;
  const text::Regional regional = text::Regional::czech();
  app::Settings closing = app::Settings::defaults(regional, {2026, 12, 7});
  closing.browser.clear();
  closing.filespec.clear();
  app::WriteSettingsFile(dir / "prop1.txt", closing);

  app::Settings next = app::Settings::defaults(regional, {2026, 12, 8});
  app::LineReader reader;
  app::ReadSettingsFile(dir / "prop1.txt", reader, next);
  EXPECT_EQ(next.browser, app::kDefaultBrowser);
  EXPECT_EQ(next.filespec, app::kDefaultFilespec);
}

TEST(HelpTopics, TheAboutTextNamesTheProductItsVersionAndLicence) {
  const std::string about = help::aboutText();
  EXPECT_EQ(about.substr(0, about.find("\r\n")), "Mincar " + std::string(app::kVersion));
  EXPECT_NE(about.find("GPL"), std::string::npos);
}

}  // namespace

namespace {

TEST(HelpTopics, TheSafetyNetsAreExplainedWhereTheUserLooks) {
  const auto topics = help::helpTopicTexts();
  // The day's backup beside the save command, with its cron command.
  EXPECT_TRUE(contains(topics[2], "data/zalohy"));
  EXPECT_TRUE(contains(topics[2], "zaloha_2026-12-07.txu"));
  EXPECT_TRUE(contains(topics[2], "posledních 30"));
  EXPECT_TRUE(contains(topics[2], "mincar-cli backup --daily"));
  // The deleted rows' window and Ctrl+Z, and the box's own undo first.
  const std::string& deleted = topics[help::kDeletedRowsTopic];
  EXPECT_TRUE(contains(deleted, "Soubor – Smazané záznamy"));
  EXPECT_TRUE(contains(deleted, "Obnovit"));
  EXPECT_TRUE(contains(deleted, "[Ctrl]+[Z]"));
  EXPECT_TRUE(contains(deleted, "nové číslo"));
  EXPECT_TRUE(contains(deleted, "nejprve to, co jste do něj napsali"));
  // The lists' fourth button.
  for (int topic : {5, 6}) {
    EXPECT_TRUE(contains(topics[topic], "čtyři tlačítka")) << topic;
    EXPECT_TRUE(contains(topics[topic], "4. Čtvrté tlačítko (koš)")) << topic;
  }
}

}  // namespace
