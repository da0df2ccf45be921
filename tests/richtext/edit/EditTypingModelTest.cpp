// Random runs of keys (letters, spaces, Enter, Backspace, Delete and the caret keys) at
// paragraph ends, around pictures and breaks and in list paragraphs, against a model of
// paragraphs as plain strings; then every step undone and redone, state by state.

#include <random>

#include "platform/graphics/Bitmap.h"
#include "tests/richtext/edit/EditTestSupport.h"

namespace epc::test {
namespace {

// A paragraph of the model: text with '#' for a picture, or a break.
struct TModelPara {
    bool Break = false;
    bool List = false;
    std::string Text;
    int Length() const { return Break ? 1 : int(Text.size()); }
};

class TypingModel : public EditFixture {
protected:
    std::vector<TModelPara> Paras;
    int P = 0, O = 0; // the caret: paragraph and offset

    void Build(std::mt19937& rng) {
        TRVListInfo& list = Style->ListStyles.Add();
        list.AddLevel().ListType = TRVListType::rvlstDecimal;
        list.Levels[0]->FormatString = "%0:s.";
        Paras.clear();
        const int count = 2 + int(rng() % 4);
        for (int i = 0; i < count; ++i) {
            TModelPara para;
            if (i > 0 && rng() % 5 == 0) {
                para.Break = true;
            } else {
                para.List = rng() % 3 == 0;
                const int len = int(rng() % 8);
                for (int k = 0; k < len; ++k)
                    para.Text += rng() % 7 == 0   ? '#'
                                 : rng() % 4 == 0 ? ' '
                                                  : char('a' + rng() % 26);
            }
            Paras.push_back(para);
        }
        TRVEditRVData* d = Data();
        std::vector<int> listStarts;
        for (const TModelPara& para : Paras) {
            if (para.Break) {
                d->AddBreak();
                continue;
            }
            if (para.List) listStarts.push_back(d->ItemCount());
            if (para.Text.empty()) d->AddTextParagraph("", 0, 0, TRVTag());
            int first = 0;
            for (size_t k = 0; k <= para.Text.size(); ++k) {
                if (k < para.Text.size() && para.Text[k] != '#') continue;
                const int paraNo = d->ItemCount() == 0 || first == 0 ? 0 : -1;
                if (int(k) > first)
                    d->AddTextParagraph(para.Text.substr(size_t(first), k - size_t(first)), 0,
                                        first == 0 ? 0 : -1, TRVTag());
                if (k < para.Text.size())
                    d->AddPictureItem("p", std::make_unique<TBitmap>(10, 12), k == 0 ? paraNo : -1,
                                      TRVVAlign::rvvaBaseline);
                first = int(k) + 1;
            }
        }
        Show();
        for (size_t i = listStarts.size(); i-- > 0;)
            d->SetParagraphMarker(listStarts[i], 0, 0, 1, false);
        Edit->Format();
        Key(VK_HOME, {ssCtrl});
        P = O = 0;
    }

    std::string Model() const {
        std::string s;
        for (size_t i = 0; i < Paras.size(); ++i) {
            if (i > 0) s += '\n';
            if (Paras[i].List) s += '*';
            s += Paras[i].Break ? "=" : Paras[i].Text;
        }
        return s;
    }
    std::string Document() {
        std::string s;
        TRVEditRVData* d = Data();
        for (int i = 0; i < d->ItemCount(); ++i) {
            const TCustomRVItemInfo* item = d->GetItem(i);
            if (i > 0 && item->StartsParagraph()) s += '\n';
            if (item->StyleNo == rvsListMarker)
                s += '*';
            else if (item->StyleNo == rvsBreak)
                s += '=';
            else if (item->StyleNo < 0)
                s += '#';
            else
                s += d->GetItemText(i);
        }
        return s;
    }

    // One random key, applied to the model and sent to the editor; false when the key was
    // one the model leaves out here.
    bool Step(std::mt19937& rng, std::string& name) {
        TModelPara& cur = Paras[size_t(P)];
        const int len = cur.Length();
        const bool last = P + 1 == int(Paras.size());
        switch (rng() % 12) {
        case 0:
        case 1:
        case 2:
        case 3: { // a letter or a space, most often at a paragraph end
            if (!cur.Break && len >= 24) return false;
            if (rng() % 2 == 0 && !cur.Break) {
                O = len;
                Key(VK_END);
            }
            const char c = rng() % 3 == 0 ? ' ' : char('a' + rng() % 26);
            name = std::string("type '") + c + "'";
            if (cur.Break) {
                TModelPara fresh;
                fresh.Text = std::string(1, c);
                Paras.insert(Paras.begin() + P + (O == 1 ? 1 : 0), fresh);
                if (O == 1) ++P;
                O = 1;
            } else {
                cur.Text.insert(size_t(O), 1, c);
                ++O;
            }
            Type(std::string(1, c));
            return true;
        }
        case 4: { // Enter
            if (!cur.Break && cur.List && O == 0) return false;
            name = "enter";
            if (cur.Break) {
                Paras.insert(Paras.begin() + P + (O == 1 ? 1 : 0), TModelPara());
                ++P;
                O = 0;
            } else {
                TModelPara tail;
                tail.List = cur.List;
                tail.Text = cur.Text.substr(size_t(O));
                cur.Text.resize(size_t(O));
                Paras.insert(Paras.begin() + P + 1, tail);
                ++P;
                O = 0;
            }
            Key(VK_RETURN);
            return true;
        }
        case 5:
        case 6: // Backspace
            if (!Backspace()) return false;
            name = "backspace";
            Key(VK_BACK);
            return true;
        case 7: { // Delete
            if (cur.Break) return false;
            if (O < len) {
                cur.Text.erase(size_t(O), 1);
            } else if (last) {
                if (!cur.Text.empty() || P == 0) {
                    // Nothing happens at the end.
                } else if (!Backspace()) {
                    return false;
                }
            } else {
                TModelPara& next = Paras[size_t(P) + 1];
                if (next.Break || (cur.Text.empty() && cur.List) ||
                    (next.Text.empty() && next.List))
                    return false;
                if (cur.Text.empty()) {
                    Paras.erase(Paras.begin() + P);
                } else {
                    cur.Text += next.Text;
                    Paras.erase(Paras.begin() + P + 1);
                }
            }
            name = "delete";
            Key(VK_DELETE);
            return true;
        }
        case 8: // Left
            name = "left";
            if (O > 0)
                --O;
            else if (P > 0)
                O = Paras[size_t(--P)].Length();
            Key(VK_LEFT);
            return true;
        case 9: // Right
            name = "right";
            if (O < len)
                ++O;
            else if (!last) {
                ++P;
                O = 0;
            }
            Key(VK_RIGHT);
            return true;
        case 10:
            name = "home";
            O = 0;
            Key(VK_HOME);
            return true;
        default:
            name = "ctrl+end";
            P = int(Paras.size()) - 1;
            O = Paras[size_t(P)].Length();
            Key(VK_END, {ssCtrl});
            return true;
        }
    }

    // Backspace on the model; false for a case it leaves out.
    bool Backspace() {
        TModelPara& cur = Paras[size_t(P)];
        if (cur.Break) {
            if (O == 1) {
                cur = TModelPara();
                O = 0;
                return true;
            }
            if (P == 0) return true;
            TModelPara& prev = Paras[size_t(P) - 1];
            if (!prev.Break && prev.Text.empty()) {
                // An empty line above goes.
                if (prev.List) return false;
                Paras.erase(Paras.begin() + P - 1);
                --P;
                return true;
            }
            O = Paras[size_t(--P)].Length(); // only moves left
            return true;
        }
        if (O > 0) {
            cur.Text.erase(size_t(O) - 1, 1);
            --O;
            return true;
        }
        if (cur.List) {
            cur.List = false;
            return true;
        }
        if (P == 0) return true;
        TModelPara& prev = Paras[size_t(P) - 1];
        if (prev.Break) {
            if (!cur.Text.empty()) {
                --P;
                O = 1;
                return true;
            }
            Paras.erase(Paras.begin() + P);
            --P;
            O = 1;
            return true;
        }
        if (prev.Text.empty() && prev.List) return false;
        const int at = int(prev.Text.size());
        prev.Text += cur.Text;
        Paras.erase(Paras.begin() + P);
        --P;
        O = at;
        return true;
    }
};

TEST_F(TypingModel, RandomKeysMatchTheModelAndUndoAndRedoRetraceEveryState) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        Edit->Clear();
        Style->ListStyles.Clear();
        Build(rng);
        ASSERT_EQ(Document(), Model());
        std::vector<std::string> states{Rvf()};
        std::string log = Model() + ": ";
        for (int step = 0; step < 80; ++step) {
            std::string name;
            if (!Step(rng, name)) continue;
            log += name + " (" + std::to_string(P) + "," + std::to_string(O) + ") -> " +
                   Document() + " ~ " + Model() + "; ";
            ASSERT_EQ(Document(), Model()) << log;
            if (states.back() != Rvf()) states.push_back(Rvf());
        }
        // Undo all: every state passed is one of the run's, in reverse order.
        size_t at = states.size() - 1;
        while (Edit->CanUndo()) {
            Key('Z', {ssCtrl});
            const std::string now = Rvf();
            while (at > 0 && states[at] != now)
                --at;
            ASSERT_EQ(states[at], now) << log;
        }
        ASSERT_EQ(Rvf(), states.front()) << log;
        while (Edit->CanRedo()) {
            Key('Z', {ssCtrl, ssShift});
            const std::string now = Rvf();
            while (at + 1 < states.size() && states[at] != now)
                ++at;
            ASSERT_EQ(states[at], now) << log;
        }
        ASSERT_EQ(Rvf(), states.back()) << log;
    }
}

} // namespace
} // namespace epc::test
