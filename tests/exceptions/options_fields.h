#pragma once

// Test helpers: every stored option of an object by name, and an object with
// every stored option away from its default.

#include <map>
#include <string>

#include "exceptions/options.h"

namespace exceptions::testing {

// Name -> value of every stored field (the texts as "Texts[i]", the filter
// lists joined with "|"). ReporterActive, ModuleName and NotifyOwner are not
// stored and not listed.
inline std::map<std::string, std::string> StoredFields(const TVivavaModuleOptions& o) {
    std::map<std::string, std::string> f;
    auto n = [](uint32_t v) { return std::to_string(v); };
    f["ReservedSwitch"] = n(o.ReservedSwitch());
    f["FilterActive"] = n(o.FilterActive());
    f["ReportFlags"] = n(o.ReportFlags());
    f["ShowReport"] = n(o.ShowReport());
    f["LogInBody"] = n(o.LogInBody());
    f["SendWholeLog"] = n(o.SendWholeLog());
    f["AttachScreenshot"] = n(o.AttachScreenshot());
    f["ShowMailProgress"] = n(o.ShowMailProgress());
    f["KeepLogFile"] = n(o.KeepLogFile());
    f["StartTab"] = n(o.StartTab());
    f["FancyLook"] = n(o.FancyLook());
    f["FreezeWatch"] = n(o.FreezeWatch());
    f["FreezeSeconds"] = n(o.FreezeSeconds());
    f["FreezeText"] = o.FreezeText();
    f["MailSender"] = o.MailSender();
    f["MailServer"] = o.MailServer();
    f["MailPort"] = n(o.MailPort());
    f["MailUser"] = o.MailUser();
    f["MailPassword"] = o.MailPassword();
    f["QuitRestarts"] = n(o.QuitRestarts());
    f["ShowQuitButton"] = n(o.ShowQuitButton());
    f["LogCapacity"] = n(o.LogCapacity());
    f["QuitButtonAfter"] = n(o.QuitButtonAfter());
    f["MailRecipients"] = o.MailRecipients();
    f["MailSubject"] = o.MailSubject();
    f["DeliveryMode"] = n(o.DeliveryMode());
    f["LogFieldMask"] = n(o.LogFieldMask());
    f["LogLocation"] = o.LogLocation();
    f["MailBody"] = o.MailBody();
    std::string classes, messages;
    for (int i = 0; i < o.FilterClasses().Count(); ++i) {
        classes += o.FilterClasses()[i] + "|";
    }
    for (int i = 0; i < o.FilterMessages().Count(); ++i) {
        messages += o.FilterMessages()[i] + "|";
    }
    f["FilterClasses"] = classes;
    f["FilterMessages"] = messages;
    for (int i = 0; i < kTextCount; ++i) {
        f["Texts[" + std::to_string(i) + "]"] = o.Texts(i);
    }
    return f;
}

// Sets every stored field away from its default: switches flipped, numbers
// and texts of their own (GBK among them).
inline void SetEveryField(TVivavaModuleOptions& o) {
    o.BeginUpdate();
    o.SetReservedSwitch(false);
    o.SetFilterActive(false);
    o.SetReportFlags(3);
    o.SetShowReport(false);
    o.SetLogInBody(true);
    o.SetSendWholeLog(true);
    o.SetAttachScreenshot(true);
    o.SetShowMailProgress(false);
    o.SetKeepLogFile(false);
    o.SetStartTab(2);
    o.SetFancyLook(false);
    o.SetFreezeWatch(true);
    o.SetFreezeSeconds(0x01020304);
    o.SetFreezeText("程序没有响应。");
    o.SetMailSender("sender@example.org");
    o.SetMailServer("smtp.example.org");
    o.SetMailPort(0xA55A);
    o.SetMailUser("user");
    o.SetMailPassword("pass\x01\xA7\xFF");
    o.SetQuitRestarts(0);
    o.SetShowQuitButton(false);
    o.SetLogCapacity(0x80000001u);
    o.SetQuitButtonAfter(0xFFFFFFFEu);
    o.SetMailRecipients("a@example.org;b@example.org");
    o.SetMailSubject("升级程序错误");
    o.SetDeliveryMode(kDeliverySmtpDirect);
    o.SetLogFieldMask(0x00400001);
    o.SetLogLocation("D:\\日志\\");
    o.SetMailBody("line 1\r\nline 2\r\n");
    o.FilterClasses().Add("EAbort");
    o.FilterClasses().Add("EFrozenApplication");
    o.FilterMessages().Add("");
    o.FilterMessages().Add("冻结");
    for (int i = 0; i < kTextCount; ++i) {
        o.SetTexts(i, "文本 " + std::to_string(i));
    }
    o.EndUpdate();
}

}  // namespace exceptions::testing
