#include "components/controls/HelpRouter.h"

#include "platform/core/Strings.h"
#include "platform/streaming/PropertyRegistry.h"
#include "platform/windows/Help.h"

namespace epc {

namespace {

THelpRouter* GRouter = nullptr;
bool GHtmlHelpLoaded = false;

std::string ChangeFileExt(const std::string& fileName, const std::string& ext) {
    size_t dot = fileName.find_last_of('.');
    size_t sep = fileName.find_last_of("/\\:");
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return fileName + ext;
    return fileName.substr(0, dot) + ext;
}

std::string ExtractFileExt(const std::string& fileName) {
    size_t dot = fileName.find_last_of('.');
    size_t sep = fileName.find_last_of("/\\:");
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return {};
    return fileName.substr(dot);
}

} // namespace

bool LoadHtmlHelp() {
    if (!GHtmlHelpLoaded) GHtmlHelpLoaded = IsHtmlHelpAvailable();
    return GHtmlHelpLoaded;
}

void UnloadHtmlHelp() {
    GHtmlHelpLoaded = false;
}

std::string CleanTopicID(const std::string& topicId) {
    std::string result;
    for (char ch : topicId) {
        switch (uint8_t(ch)) {
        case ' ':
        case '%':
        case '.':
            result += '_';
            break;
        case '"':
        case ',':
        case '/':
        case ':':
        case '?':
        case '|':
        case '\\':
        case 191:
            break;
        case '&':
        case '*':
            result += '+';
            break;
        case '<':
        case '>':
            result += '~';
            break;
        case '[':
            result += '(';
            break;
        case ']':
            result += ')';
            break;
        case 196:
        case 228:
            result += 'a';
            break;
        case 214:
        case 246:
            result += 'o';
            break;
        case 220:
        case 252:
            result += 'u';
            break;
        case 223:
            result += 's';
            break;
        default:
            result += ch;
            break;
        }
    }
    return result;
}

THelpRouter* THelpRouter::Instance() {
    return GRouter;
}

THelpRouter::THelpRouter(TComponent* owner) : TComponent(owner) {
    if (ComponentState().Contains(TComponentStateItem::csDesigning)) return;
    if (GRouter) throw Exception(SMultipleRouters);
    FPreviousHelp = Application->OnHelp;
    Application->OnHelp = [this](Word command, intptr_t data, bool& callHelp) {
        return HelpRouterOnHelp(command, data, callHelp);
    };
    GRouter = this;
    FRegistered = true;
}

THelpRouter::~THelpRouter() {
    if (!FRegistered) return;
    Application->HelpCommand(HELP_QUIT, 0);
    Application->OnHelp = FPreviousHelp;
    GRouter = nullptr;
}

void THelpRouter::SetHelpType(THelpType value) {
    FHelpType = value;
    if (FRegistered && (value == htHTMLhelp || value == htMixedMode)) LoadHtmlHelp();
}

TCustomForm* THelpRouter::ActiveForm() const {
    if (TCustomForm* form = Screen->ActiveForm()) return form;
    if (TCustomForm* form = Screen->ActiveCustomForm()) return form;
    return dynamic_cast<TCustomForm*>(Owner());
}

std::string THelpRouter::HelpFileName() const {
    if (!FHelpfile.empty()) return FHelpfile;
    std::string result = Application->HelpFile();
    if (TCustomForm* form = ActiveForm(); form && !form->HelpFile().empty())
        result = form->HelpFile();
    return result;
}

HWND THelpRouter::HelpWindow() const {
    TCustomForm* form = ActiveForm();
    if (form && form->HandleAllocated()) return form->Handle();
    return Application->Handle();
}

bool THelpRouter::ShowHelpContents() {
    return Application->HelpCommand(HELP_TAB, 0);
}

bool THelpRouter::HelpRouterOnHelp(Word requested, intptr_t data, bool& callHelp) {
    bool result = false;
    if (OnHelp) result = OnHelp(requested, data, callHelp);
    if (callHelp && FPreviousHelp) result = FPreviousHelp(requested, data, callHelp);
    if (!callHelp) return result;

    std::string file = HelpFileName();
    uint32_t command = requested;
    if (FShowType == stMain) {
        if (command == HELP_CONTEXTPOPUP)
            command = HELP_CONTEXT;
        else if (command == HELP_SETPOPUP_POS)
            command = 0;
    }
    bool html =
        FHelpType == htHTMLhelp ||
        (FHelpType == htMixedMode && command != HELP_CONTEXTPOPUP && command != HELP_SETPOPUP_POS);
    if (!html) {
        // Served here: the application must not send it to the engine a second time.
        callHelp = false;
        if (command == 0) return true;
        std::string hlp = ChangeFileExt(file, ".hlp");
        return WinHelpA(HelpWindow(), hlp.c_str(), command, uintptr_t(data)) != 0;
    }
    // Without HTML Help the application's own handling goes on.
    if (!LoadHtmlHelp()) return result;
    std::string chm = ChangeFileExt(file, ".chm");
    result = false;
    switch (command) {
    case HELP_CONTEXT:
        result = HtmlHelpA(nullptr, chm.c_str(), HH_HELP_CONTEXT, uintptr_t(data)) != nullptr;
        break;
    case HELP_QUIT:
        result = HtmlHelpA(nullptr, nullptr, HH_CLOSE_ALL, 0) != nullptr;
        break;
    case HELP_CONTENTS:
    case HELP_FINDER:
        result = HtmlHelpA(nullptr, chm.c_str(), HH_DISPLAY_TOC, 0) != nullptr;
        break;
    case HELP_CONTEXTPOPUP: {
        TPoint pos = FPopupPos;
        if (pos == TPoint(0, 0)) {
            POINT cursor{};
            GetCursorPos(&cursor);
            pos = cursor;
        }
        ShowTextPopup(pos.X, pos.Y, std::string(), uint32_t(data));
        FPopupPos = TPoint(0, 0);
        result = true;
        break;
    }
    case HELP_SETPOPUP_POS:
        FPopupPos =
            TPoint(int16_t(LOWORD(uintptr_t(data))), int16_t(LOWORD(uintptr_t(data) >> 16)));
        result = true;
        break;
    case HELP_TAB:
        result = HtmlHelpA(nullptr, chm.c_str(), data != 0 ? HH_DISPLAY_INDEX : HH_DISPLAY_TOC,
                           0) != nullptr;
        break;
    case HELP_KEY:
    case HELP_PARTIALKEY:
        result = HtmlHelpA(nullptr, chm.c_str(), HH_DISPLAY_INDEX, uintptr_t(data)) != nullptr;
        break;
    default:
        break; // no HTML Help counterpart: nothing shown
    }
    callHelp = false;
    return result;
}

bool THelpRouter::HelpRouterShowTopic(const std::string& helpFile, const std::string& topicId) {
    std::string file = helpFile.empty() ? HelpFileName() : helpFile;
    if (FHelpType == htWinhelp) {
        std::string hlp = ChangeFileExt(file, ".hlp");
        if (!WinHelpA(HelpWindow(), hlp.c_str(), HELP_CONTENTS, 0)) return false;
        std::string macro = "JumpID(\"\",\"" + topicId + "\")";
        if (macro.size() > 255) macro.resize(255);
        return WinHelpA(HelpWindow(), hlp.c_str(), HELP_COMMAND,
                        reinterpret_cast<uintptr_t>(macro.c_str())) != 0;
    }
    if (!LoadHtmlHelp()) return false;
    std::string target = ChangeFileExt(file, ".chm");
    if (!topicId.empty()) {
        std::string topic = topicId;
        std::string ext = LowerCase(ExtractFileExt(topic)).substr(0, 4);
        if (ext != ".htm") {
            if (FValidateID) topic = CleanTopicID(topic);
            topic += ".htm";
        }
        target += "::/" + topic;
    }
    return HtmlHelpA(nullptr, target.c_str(), HH_DISPLAY_TOPIC, 0) != nullptr;
}

bool THelpRouter::ShowTextPopup(int x, int y, const std::string& text, uint32_t contextId) {
    if (!LoadHtmlHelp()) return false;
    HH_POPUP popup;
    popup.idString = text.empty() ? contextId : 0;
    popup.pszText = text.empty() ? nullptr : text.c_str();
    popup.pt = TPoint(x, y);
    popup.pszFont = "MS Sans Serif, 8";
    if (text.empty()) {
        if (FCHMPopupTopics.empty()) FCHMPopupTopics = "CSHelp.txt";
        std::string file = ChangeFileExt(HelpFileName(), ".chm") + "::/" + FCHMPopupTopics;
        return HtmlHelpA(HelpWindow(), file.c_str(), HH_DISPLAY_TEXT_POPUP,
                         reinterpret_cast<uintptr_t>(&popup)) != nullptr;
    }
    return HtmlHelpA(HelpWindow(), nullptr, HH_DISPLAY_TEXT_POPUP,
                     reinterpret_cast<uintptr_t>(&popup)) != nullptr;
}

} // namespace epc

namespace epc {
namespace {
// Forms holding a router create it by name and set these from their stored layout.
const bool HelpRouterRegistered = [] {
    TPublished<THelpRouter>("THelpRouter", "TComponent")
        .Enum("HelpType", &THelpRouter::HelpType, &THelpRouter::SetHelpType,
              {"htWinhelp", "htHTMLhelp", "htMixedMode"})
        .Enum("ShowType", &THelpRouter::ShowType, &THelpRouter::SetShowType,
              {"stDefault", "stMain", "stPopup"}, 0)
        .String("Helpfile", &THelpRouter::Helpfile, &THelpRouter::SetHelpfile)
        .String("CHMPopupTopics", &THelpRouter::CHMPopupTopics, &THelpRouter::SetCHMPopupTopics)
        .Event("OnHelp")
        .Boolean("ValidateID", &THelpRouter::ValidateID, &THelpRouter::SetValidateID, false);
    RegisterClass<THelpRouter>("THelpRouter");
    return true;
}();
} // namespace
} // namespace epc
