#pragma once
// The help router: takes over the application's help event and sends each help command to
// WinHelp (".hlp" files) or to HTML Help (".chm" files), which is bound when first needed and
// may be missing. At most one router exists at a time.

#include <cstdint>
#include <string>

#include "platform/controls/Forms.h"
#include "platform/gdi/Gdi.h"

namespace epc {

enum THelpType : uint8_t { htWinhelp, htHTMLhelp, htMixedMode };
enum TShowType : uint8_t { stDefault, stMain, stPopup };

// The HTML Help text popup record.
struct HH_POPUP {
    int32_t cbStruct = sizeof(HH_POPUP);
    void* hinst = nullptr;
    uint32_t idString = 0;
    const char* pszText = nullptr;
    POINT pt{};
    int32_t clrForeground = -1;
    int32_t clrBackground = -1;
    RECT rcMargins{-1, -1, -1, -1};
    const char* pszFont = nullptr;
};

inline constexpr const char* SMultipleRouters = "Multiple instances of THelpRouter are not allowed";

// Binds HTML Help when not bound yet; whether it is bound.
bool LoadHtmlHelp();
// Lets HTML Help go (the end of the run; tests start afresh with it).
void UnloadHtmlHelp();

class THelpRouter : public TComponent {
public:
    explicit THelpRouter(TComponent* owner);
    ~THelpRouter() override;
    std::string ClassName() const override { return "THelpRouter"; }

    THelpType HelpType() const { return FHelpType; }
    void SetHelpType(THelpType value);
    TShowType ShowType() const { return FShowType; }
    void SetShowType(TShowType value) { FShowType = value; }
    const std::string& Helpfile() const { return FHelpfile; }
    void SetHelpfile(const std::string& value) { FHelpfile = value; }
    const std::string& CHMPopupTopics() const { return FCHMPopupTopics; }
    void SetCHMPopupTopics(const std::string& value) { FCHMPopupTopics = value; }
    bool ValidateID() const { return FValidateID; }
    void SetValidateID(bool value) { FValidateID = value; }
    THelpEvent OnHelp;

    // Helpfile, else the active form's help file, else the application's.
    std::string HelpFileName() const;
    HWND HelpWindow() const;
    bool ShowHelpContents();
    // Shows a topic by its text id in HelpFile (empty: HelpFileName).
    bool HelpRouterShowTopic(const std::string& helpFile, const std::string& topicId);
    // An HTML Help popup of Text, or of the topic ContextID when Text is empty.
    bool ShowTextPopup(int x, int y, const std::string& text, uint32_t contextId);
    // The application's help handler while the router exists.
    bool HelpRouterOnHelp(Word command, intptr_t data, bool& callHelp);

    // The router in existence, if any.
    static THelpRouter* Instance();

private:
    TCustomForm* ActiveForm() const;

    THelpType FHelpType = htWinhelp;
    TShowType FShowType = stDefault;
    std::string FHelpfile;
    std::string FCHMPopupTopics = "CSHelp.txt";
    bool FValidateID = false;
    THelpEvent FPreviousHelp;
    bool FRegistered = false;
    TPoint FPopupPos;
};

// A topic id made fit to be a file name.
std::string CleanTopicID(const std::string& topicId);

} // namespace epc
