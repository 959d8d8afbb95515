#include "FeedPayloads.h"

#include "notify.pb.h"

namespace feedbench {

namespace {

namespace feed = corvane::feed;

const char* const Names[] = {"MAIN", "SCADA", "HISTORIAN", "ALARMS", "REPORTS", "WEB"};
const char* const Values[] = {"HOT", "WARM", "COLD", "HOT_SEND", "TO_WARM_RECEIVE"};

void AddUpdates(feed::NotifyMessage& m, int n) {
    for (int i = 0; i < n; ++i) {
        auto* u = m.add_status_updates();
        u->set_key("SYS.APL." + std::to_string(i % 40) + "." + Names[i % 6] +
                   (i % 2 ? ".AS" : ".SP"));
        u->mutable_status_update()->set_value(Values[i % 5]);
    }
}

void AddRows(feed::NotifyMessage& m, int n) {
    for (int i = 0; i < n; ++i) {
        auto* r = m.add_log_rows();
        r->set_sequence_number(1000000 + i);
        r->set_sender_ip("192.168.10.21");
        auto* l = r->mutable_log_row();
        // A day ahead, so the reader's start-time filter keeps every row.
        l->set_timestamp("2099-03-01T08:15:30.250+01:00");
        l->add_messages("Application " + std::string(Names[i % 6]) +
                        " changed its state after the operator acknowledged alarm " +
                        std::to_string(i));
        l->add_messages("Detail: station 14, channel 3, value out of range for 12 s");
        l->set_severity(1 + i % 6);
        l->set_source("Process control kernel");
        l->set_category("APL");
        l->set_sys_application_number(i % 12);
    }
}

} // namespace

std::string StatusBurst() {
    feed::NotifyMessage m;
    AddUpdates(m, 200);
    return m.SerializeAsString();
}

std::string LogBurst() {
    feed::NotifyMessage m;
    AddRows(m, 50);
    return m.SerializeAsString();
}

std::string MixedFrame() {
    feed::NotifyMessage m;
    AddRows(m, 20);
    AddUpdates(m, 50);
    return m.SerializeAsString();
}

} // namespace feedbench
