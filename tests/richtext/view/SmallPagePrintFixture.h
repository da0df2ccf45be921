#pragma once
// A 96 dpi printer whose page is 378 x 200 pixels (100 x 52.9 mm), a viewer without margins
// holding the document, and a print component without margins: the base of the print tests.

#include <gtest/gtest.h>

#include <memory>

#include "platform/printing/Printers.h"
#include "richtext/view/PtblRV.h"
#include "tests/richtext/view/TestRVData.h"

namespace epc::test {

class SmallPagePrintFixture : public ::testing::Test {
protected:
    void SetUp() override {
        Printer().SetResolution(96);
        Printer().SetPaperSizeMM(100, 52.9); // 378 x 200 px
        Printer().SetCopies(1);
        Printer().SetDriverCopies(false);
        Printer().ClearJobs();
        Source = std::make_unique<TRichView>(nullptr);
        Source->LeftMargin = Source->RightMargin = Source->TopMargin = Source->BottomMargin = 0;
        Source->SetStyle(Style.get());
        Print = std::make_unique<TRVPrint>(nullptr);
        Print->SetLeftMarginMM(0);
        Print->SetRightMarginMM(0);
        Print->SetTopMarginMM(0);
        Print->SetBottomMarginMM(0);
    }
    void TearDown() override {
        Printer().Abort();
        Print.reset();
        Source.reset();
        Printer().SetPaperSizeMM(210, 297);
        Printer().SetResolution(600);
    }
    int Format() {
        Print->TakeDocumentFrom(Source.get());
        return Print->FormatPages();
    }

    std::unique_ptr<TRVStyle> Style = MakeFixedStyle();
    std::unique_ptr<TRichView> Source;
    std::unique_ptr<TRVPrint> Print;
};

} // namespace epc::test
