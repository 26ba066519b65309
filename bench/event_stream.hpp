#pragma once
/// An event stream of a code-hosting service's API, modelled with the derivation macros: a JSON
/// array of events, each an object tagged internally by its "type" (first in the object), one of
/// seven kinds that share the event's fields (id, actor, repo, public, created_at, an optional
/// org) and differ in their payload. `make_event_stream` writes such a document from a fixed
/// seed, indented with two spaces as the service sends it: nested records, arrays, nulls, absent
/// optionals, integers, and strings with escapes and non-ASCII text, raw or as \u escapes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <sylvane/derive/derive.hpp>

namespace event_stream {

struct actor {
    std::int64_t id = 0;
    std::string login;
    std::string url;
    std::string avatar_url;
    bool operator==(const actor&) const = default;
};
SYLVANE_RECORD(actor, id, login, url, avatar_url)

struct repo {
    std::int64_t id = 0;
    std::string name;
    std::string url;
    bool operator==(const repo&) const = default;
};
SYLVANE_RECORD(repo, id, name, url)

struct org {
    std::int64_t id = 0;
    std::string login;
    std::string url;
    std::string avatar_url;
    bool operator==(const org&) const = default;
};
SYLVANE_RECORD(org, id, login, url, avatar_url)

struct user {
    std::string login;
    std::int64_t id = 0;
    std::string type;
    bool site_admin = false;
    bool operator==(const user&) const = default;
};
SYLVANE_RECORD(user, login, id, type, site_admin)

// PushEvent
struct commit_author {
    std::string email;
    std::string name;
    bool operator==(const commit_author&) const = default;
};
SYLVANE_RECORD(commit_author, email, name)

struct commit {
    std::string sha;
    commit_author author;
    std::string message;
    bool distinct = false;
    bool operator==(const commit&) const = default;
};
SYLVANE_RECORD(commit, sha, author, message, distinct)

struct push_payload {
    std::int64_t repository_id = 0;
    std::int64_t push_id = 0;
    std::int64_t size = 0;
    std::int64_t distinct_size = 0;
    std::string ref;
    std::string head;
    std::string before;
    std::vector<commit> commits;
    bool operator==(const push_payload&) const = default;
};
SYLVANE_RECORD(push_payload, repository_id, push_id, size, distinct_size, ref, head, before,
               commits)

// IssuesEvent, PullRequestEvent, IssueCommentEvent
enum class action { opened, closed, reopened };
SYLVANE_ENUM(action, opened, closed, reopened)

enum class state { open, closed };
SYLVANE_ENUM(state, open, closed)

struct label {
    std::int64_t id = 0;
    std::string name;
    std::string color;
    bool is_default = false;
    std::optional<std::string> description;
    bool operator==(const label&) const = default;
};
SYLVANE_RECORD(label, id, name, color, (is_default, key("default")), description)

struct issue {
    std::int64_t id = 0;
    std::int64_t number = 0;
    std::string title;
    event_stream::user user;
    std::vector<label> labels;
    event_stream::state state = state::open;
    bool locked = false;
    std::optional<event_stream::user> assignee;
    std::int64_t comments = 0;
    std::string created_at;
    std::string updated_at;
    std::optional<std::string> closed_at;
    std::optional<std::string> body;
    bool operator==(const issue&) const = default;
};
SYLVANE_RECORD(issue, id, number, title, user, labels, state, locked, assignee, comments,
               created_at, updated_at, closed_at, body)

struct issues_payload {
    event_stream::action action = action::opened;
    event_stream::issue issue;
    bool operator==(const issues_payload&) const = default;
};
SYLVANE_RECORD(issues_payload, action, issue)

struct branch {
    std::string label;
    std::string ref;
    std::string sha;
    bool operator==(const branch&) const = default;
};
SYLVANE_RECORD(branch, label, ref, sha)

struct pull_request {
    std::int64_t id = 0;
    std::int64_t number = 0;
    event_stream::state state = state::open;
    bool locked = false;
    std::string title;
    event_stream::user user;
    std::optional<std::string> body;
    std::string created_at;
    std::string updated_at;
    std::optional<std::string> closed_at;
    std::optional<std::string> merged_at;
    branch head;
    branch base;
    bool draft = false;
    bool merged = false;
    std::int64_t commits = 0;
    std::int64_t additions = 0;
    std::int64_t deletions = 0;
    std::int64_t changed_files = 0;
    bool operator==(const pull_request&) const = default;
};
SYLVANE_RECORD(pull_request, id, number, state, locked, title, user, body, created_at, updated_at,
               closed_at, merged_at, head, base, draft, merged, commits, additions, deletions,
               changed_files)

struct pull_request_payload {
    event_stream::action action = action::opened;
    std::int64_t number = 0;
    event_stream::pull_request pull_request;
    bool operator==(const pull_request_payload&) const = default;
};
SYLVANE_RECORD(pull_request_payload, action, number, pull_request)

struct reactions {
    std::int64_t total_count = 0;
    std::int64_t plus_one = 0;
    std::int64_t minus_one = 0;
    std::int64_t laugh = 0;
    std::int64_t heart = 0;
    std::int64_t rocket = 0;
    bool operator==(const reactions&) const = default;
};
SYLVANE_RECORD(reactions, total_count, (plus_one, key("+1")), (minus_one, key("-1")), laugh, heart,
               rocket)

struct comment {
    std::int64_t id = 0;
    event_stream::user user;
    std::string created_at;
    std::string updated_at;
    std::string author_association;
    std::string body;
    event_stream::reactions reactions;
    bool operator==(const comment&) const = default;
};
SYLVANE_RECORD(comment, id, user, created_at, updated_at, author_association, body, reactions)

struct issue_comment_payload {
    std::string action;
    event_stream::issue issue;
    event_stream::comment comment;
    bool operator==(const issue_comment_payload&) const = default;
};
SYLVANE_RECORD(issue_comment_payload, action, issue, comment)

// WatchEvent
struct watch_payload {
    std::string action;
    bool operator==(const watch_payload&) const = default;
};
SYLVANE_RECORD(watch_payload, action)

// ForkEvent
struct forkee {
    std::int64_t id = 0;
    std::string name;
    std::string full_name;
    user owner;
    bool is_private = false;
    std::optional<std::string> description;
    bool fork = false;
    std::string created_at;
    std::int64_t stargazers_count = 0;
    std::optional<std::string> language;
    std::vector<std::string> topics;
    bool operator==(const forkee&) const = default;
};
SYLVANE_RECORD(forkee, id, name, full_name, owner, (is_private, key("private")), description, fork,
               created_at, stargazers_count, language, topics)

struct fork_payload {
    event_stream::forkee forkee;
    bool operator==(const fork_payload&) const = default;
};
SYLVANE_RECORD(fork_payload, forkee)

// CreateEvent
enum class ref_type { branch, tag, repository };
SYLVANE_ENUM(ref_type, branch, tag, repository)

struct create_payload {
    std::optional<std::string> ref;  // null for a repository
    event_stream::ref_type ref_type = ref_type::branch;
    std::string master_branch;
    std::optional<std::string> description;
    std::string pusher_type;
    bool operator==(const create_payload&) const = default;
};
SYLVANE_RECORD(create_payload, ref, ref_type, master_branch, description, pusher_type)

/// The fields every kind of event has, around its own payload. The service leaves "org" out
/// for events of repositories of no organisation.
template <class Payload>
struct basic_event {
    std::string id;
    event_stream::actor actor;
    event_stream::repo repo;
    Payload payload;
    bool is_public = true;
    std::string created_at;
    std::optional<event_stream::org> org;
    bool operator==(const basic_event&) const = default;
};

using push_event = basic_event<push_payload>;
using issues_event = basic_event<issues_payload>;
using pull_request_event = basic_event<pull_request_payload>;
using watch_event = basic_event<watch_payload>;
using fork_event = basic_event<fork_payload>;
using create_event = basic_event<create_payload>;
using issue_comment_event = basic_event<issue_comment_payload>;

SYLVANE_RECORD(push_event, id, actor, repo, payload, (is_public, key("public")), created_at,
               (org, omit_empty))
SYLVANE_RECORD(issues_event, id, actor, repo, payload, (is_public, key("public")), created_at,
               (org, omit_empty))
SYLVANE_RECORD(pull_request_event, id, actor, repo, payload, (is_public, key("public")), created_at,
               (org, omit_empty))
SYLVANE_RECORD(watch_event, id, actor, repo, payload, (is_public, key("public")), created_at,
               (org, omit_empty))
SYLVANE_RECORD(fork_event, id, actor, repo, payload, (is_public, key("public")), created_at,
               (org, omit_empty))
SYLVANE_RECORD(create_event, id, actor, repo, payload, (is_public, key("public")), created_at,
               (org, omit_empty))
SYLVANE_RECORD(issue_comment_event, id, actor, repo, payload, (is_public, key("public")),
               created_at, (org, omit_empty))

/// `{"type": "PushEvent", "id": ..., ...}`: the tag first, then the event's own fields.
struct event : std::variant<push_event, issues_event, pull_request_event, watch_event, fork_event,
                            create_event, issue_comment_event> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(event, (internal_tag("type")), (push_event, "PushEvent"),
                     (issues_event, "IssuesEvent"), (pull_request_event, "PullRequestEvent"),
                     (watch_event, "WatchEvent"), (fork_event, "ForkEvent"),
                     (create_event, "CreateEvent"), (issue_comment_event, "IssueCommentEvent"))

inline constexpr std::size_t event_count = 20'000;
inline constexpr std::size_t kinds = std::variant_size_v<event::variant>;

/// The texts of every commit message, title and body of the stream: plain, escaped (quotes,
/// backslashes, line breaks, a tab, a control character) and non-ASCII (two-, three- and
/// four-byte UTF-8).
inline constexpr std::array<std::string_view, 12> phrases = {
    "Fix typo in README",
    "Bump lodash from 4.17.20 to 4.17.21\n\nBumps [lodash](https://lodash.example/) "
    "from 4.17.20 to 4.17.21.",
    "Handle \"quoted\" paths on Windows (C:\\Users\\dev\\src)",
    "Übersetzung aktualisiert: Größe, Maße und Gewichte",
    "修复在高负载下的内存泄漏问题",
    "Add emoji support 🚀✨ to the renderer",
    "Résumé du café — naïve façade à l'œuvre",
    "Column\tseparated\tvalues, and a bell \x07 in the log",
    "Release v2.3.1 🎉\r\n\r\n* faster startup\n* fewer allocations\n* docs",
    "Refactor the scheduler so that jobs waiting on I/O no longer hold a worker thread; "
    "measured 30% less latency at the 99th percentile under the nightly load test.",
    "Привет, мир: локализация интерфейса",
    "Merge branch 'main' into feature/streaming-parser",
};

/// The text of the stream and how many events of each kind it holds (in the variant's order).
struct stream {
    std::string text;
    std::array<std::size_t, kinds> per_kind{};
};

namespace detail {

/// Writes JSON text element by element, compact (`indent` 0) or with each element on a line of
/// its own, indented by `indent` spaces a level.
class json_text {
public:
    explicit json_text(int indent) : indent_(indent) {}

    void begin_object() { open('{'); }
    void end_object() { close('}'); }
    void begin_array() { open('['); }
    void end_array() { close(']'); }

    void key(std::string_view k) {
        element();
        quote(k, false);
        out_ += indent_ ? ": " : ":";
        after_key_ = true;
    }
    void value(std::int64_t x) {
        element();
        out_ += std::to_string(x);
    }
    void value(bool b) {
        element();
        out_ += b ? "true" : "false";
    }
    void value(std::string_view s, bool ascii_only = false) {
        element();
        quote(s, ascii_only);
    }
    void value(const char* s) { value(std::string_view(s)); }
    void value(const std::string& s) { value(std::string_view(s)); }
    void value(const std::optional<std::string>& s, bool ascii_only = false) {
        if (s) {
            value(std::string_view(*s), ascii_only);
        } else {
            element();
            out_ += "null";
        }
    }
    template <class T>
    void field(std::string_view k, const T& v) {
        key(k);
        value(v);
    }

    std::string& text() { return out_; }

private:
    void element() {
        if (after_key_) {
            after_key_ = false;
            return;
        }
        if (open_.empty()) return;
        if (open_.back()) out_ += ',';
        open_.back() = true;
        newline();
    }
    void open(char c) {
        element();
        out_ += c;
        open_.push_back(false);
    }
    void close(char c) {
        const bool had_elements = open_.back();
        open_.pop_back();
        if (had_elements) newline();
        out_ += c;
    }
    void newline() {
        if (indent_ == 0) return;
        out_ += '\n';
        out_.append(open_.size() * static_cast<std::size_t>(indent_), ' ');
    }
    /// `s` between quotes: `"`, `\` and control characters escaped; the non-ASCII characters
    /// as they are, or as \u escapes (surrogate pairs beyond the BMP) if `ascii_only`.
    void quote(std::string_view s, bool ascii_only) {
        static constexpr char hex[] = "0123456789abcdef";
        const auto u_escape = [&](unsigned u) {
            out_ += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) out_ += hex[(u >> shift) & 0xf];
        };
        out_ += '"';
        for (std::size_t i = 0; i < s.size(); ++i) {
            const auto c = static_cast<unsigned char>(s[i]);
            switch (c) {
                case '"': out_ += "\\\""; break;
                case '\\': out_ += "\\\\"; break;
                case '\n': out_ += "\\n"; break;
                case '\r': out_ += "\\r"; break;
                case '\t': out_ += "\\t"; break;
                default:
                    if (c < 0x20) {
                        u_escape(c);
                    } else if (c < 0x80 || !ascii_only) {
                        out_ += static_cast<char>(c);
                    } else {  // a whole UTF-8 sequence (the phrases are valid UTF-8)
                        const int extra = c >= 0xf0 ? 3 : c >= 0xe0 ? 2 : 1;
                        unsigned cp = c & (0x3fu >> extra);
                        for (int k = 0; k < extra; ++k)
                            cp = (cp << 6) | (static_cast<unsigned char>(s[++i]) & 0x3fu);
                        if (cp >= 0x10000) {
                            cp -= 0x10000;
                            u_escape(0xd800 + (cp >> 10));
                            u_escape(0xdc00 + (cp & 0x3ff));
                        } else {
                            u_escape(cp);
                        }
                    }
            }
        }
        out_ += '"';
    }

    std::string out_;
    std::vector<bool> open_;  // per open container: has it elements yet
    bool after_key_ = false;
    int indent_;
};

/// The draws of one stream, from a fixed seed.
class generator {
public:
    explicit generator(int indent) : j_(indent) {}

    stream make(std::size_t events) {
        stream s;
        j_.begin_array();
        for (std::size_t i = 0; i < events; ++i) {
            // Roughly the mix of a public stream: mostly pushes.
            static constexpr std::array<unsigned, kinds> weight = {40, 7, 10, 12, 4, 15, 12};
            unsigned r = static_cast<unsigned>(below(100));
            std::size_t kind = 0;
            while (r >= weight[kind]) r -= weight[kind++];
            ++s.per_kind[kind];
            event(i, kind);
        }
        j_.end_array();
        s.text = std::move(j_.text());
        return s;
    }

private:
    static constexpr std::array<const char*, kinds> tags = {
        "PushEvent", "IssuesEvent", "PullRequestEvent", "WatchEvent",
        "ForkEvent", "CreateEvent", "IssueCommentEvent"};
    static constexpr std::string_view api = "https://api.hub.example";

    std::uint64_t below(std::uint64_t n) { return rng_() % n; }
    bool chance(unsigned percent) { return below(100) < percent; }
    std::string_view phrase() { return phrases[below(phrases.size())]; }

    std::string login(std::uint64_t n) {
        static constexpr std::array<const char*, 8> names = {
            "octo", "linus", "ada", "grace", "ken", "margaret", "dennis", "barbara"};
        return std::string(names[n % names.size()]) + "-" + std::to_string(n % 5000);
    }
    std::string sha() {
        static constexpr char hex[] = "0123456789abcdef";
        std::string s;
        for (int k = 0; k < 40; ++k) s += hex[below(16)];
        return s;
    }
    std::string time(std::size_t i, std::uint64_t back = 0) {
        // One event every 0.1 s from 2024-03-11T00:00:00Z; `back` seconds earlier (up to ten
        // days) for the dates of the things the event is about.
        const std::uint64_t t = 86400 * 10 + i / 10 - back % (86400 * 10);
        char buf[32];
        std::snprintf(buf, sizeof buf, "2024-03-%02uT%02u:%02u:%02uZ",
                      static_cast<unsigned>(1 + t / 86400), static_cast<unsigned>(t / 3600 % 24),
                      static_cast<unsigned>(t / 60 % 60), static_cast<unsigned>(t % 60));
        return buf;
    }
    std::optional<std::string> maybe_phrase(unsigned percent) {
        if (!chance(percent)) return std::nullopt;
        return std::string(phrase());
    }

    void event(std::size_t i, std::size_t kind) {
        const std::uint64_t who = below(100'000);
        const std::uint64_t where = below(1'000'000);
        const std::string name = login(who / 3) + "/" + "project-" + std::to_string(where % 997);
        j_.begin_object();
        j_.field("type", tags[kind]);
        j_.field("id", std::to_string(30'000'000'000ull + i * 7 + below(7)));
        j_.key("actor");
        j_.begin_object();
        j_.field("id", static_cast<std::int64_t>(who));
        j_.field("login", login(who));
        j_.field("url", std::string(api) + "/users/" + login(who));
        j_.field("avatar_url", "https://avatars.hub.example/u/" + std::to_string(who) + "?");
        j_.end_object();
        j_.key("repo");
        j_.begin_object();
        j_.field("id", static_cast<std::int64_t>(where));
        j_.field("name", name);
        j_.field("url", std::string(api) + "/repos/" + name);
        j_.end_object();
        j_.key("payload");
        switch (kind) {
            case 0: push(); break;
            case 1: issues(i); break;
            case 2: pull(i, name); break;
            case 3:
                j_.begin_object();
                j_.field("action", "started");
                j_.end_object();
                break;
            case 4: fork(i, name); break;
            case 5: create(); break;
            default: issue_comment(i); break;
        }
        j_.field("public", !chance(2));
        j_.field("created_at", time(i));
        if (chance(30)) {
            const auto id = static_cast<std::int64_t>(below(10'000));
            j_.key("org");
            j_.begin_object();
            j_.field("id", id);
            j_.field("login", "org-" + std::to_string(id));
            j_.field("url", std::string(api) + "/orgs/org-" + std::to_string(id));
            j_.field("avatar_url", "https://avatars.hub.example/u/" + std::to_string(id) + "?");
            j_.end_object();
        }
        j_.end_object();
    }

    void user(std::uint64_t who) {
        j_.begin_object();
        j_.field("login", login(who));
        j_.field("id", static_cast<std::int64_t>(who));
        j_.field("type", who % 50 == 0 ? "Bot" : "User");
        j_.field("site_admin", who % 997 == 0);
        j_.end_object();
    }

    void push() {
        const std::int64_t size = static_cast<std::int64_t>(below(100) < 70 ? 1 : 1 + below(5));
        const std::string head = sha();
        j_.begin_object();
        j_.field("repository_id", static_cast<std::int64_t>(below(800'000'000)));
        j_.field("push_id", static_cast<std::int64_t>(17'000'000'000ull + below(1'000'000'000)));
        j_.field("size", size);
        j_.field("distinct_size", size);
        j_.field("ref", chance(70) ? "refs/heads/main" : "refs/heads/feature/" + login(below(99)));
        j_.field("head", head);
        j_.field("before", sha());
        j_.key("commits");
        j_.begin_array();
        for (std::int64_t c = 0; c < size; ++c) {
            const std::string id = c + 1 == size ? head : sha();
            const std::uint64_t who = below(100'000);
            j_.begin_object();
            j_.field("sha", id);
            j_.key("author");
            j_.begin_object();
            j_.field("email", login(who) + "@users.noreply.hub.example");
            j_.field("name", who % 3 ? login(who) : std::string("Zoë Åström"));
            j_.end_object();
            j_.field("message", phrase());
            j_.field("distinct", true);
            j_.end_object();
        }
        j_.end_array();
        j_.end_object();
    }

    void labels() {
        static constexpr std::array<const char*, 5> names = {
            "bug", "enhancement", "good first issue", "documentation", "help wanted"};
        static constexpr std::array<const char*, 5> colors = {"d73a4a", "a2eeef", "7057ff",
                                                              "0075ca", "008672"};
        j_.begin_array();
        for (std::uint64_t n = below(3), k = below(5); n > 0; --n, k = (k + 1) % 5) {
            j_.begin_object();
            j_.field("id", static_cast<std::int64_t>(1'000'000 + k));
            j_.field("name", names[k]);
            j_.field("color", colors[k]);
            j_.field("default", true);
            j_.key("description");
            j_.value(k == 2 ? std::nullopt : std::optional<std::string>(phrase()));
            j_.end_object();
        }
        j_.end_array();
    }

    void issue(std::size_t i, bool ascii_only) {
        const std::int64_t number = static_cast<std::int64_t>(1 + below(5000));
        const bool closed = chance(40);
        j_.begin_object();
        j_.field("id", static_cast<std::int64_t>(2'000'000'000 + below(100'000'000)));
        j_.field("number", number);
        j_.field("title", phrase());
        j_.key("user");
        user(below(100'000));
        j_.key("labels");
        labels();
        j_.field("state", closed ? "closed" : "open");
        j_.field("locked", chance(3));
        j_.key("assignee");
        if (chance(30)) {
            user(below(100'000));
        } else {
            j_.value(std::optional<std::string>());
        }
        j_.field("comments", static_cast<std::int64_t>(below(40)));
        j_.field("created_at", time(i, 86400 + below(86400 * 5)));
        j_.field("updated_at", time(i, below(600)));
        j_.key("closed_at");
        j_.value(closed ? std::optional<std::string>(time(i, below(60))) : std::nullopt);
        j_.key("body");
        j_.value(maybe_phrase(80), ascii_only);
        j_.end_object();
    }

    void issues(std::size_t i) {
        j_.begin_object();
        const std::uint64_t a = below(3);
        j_.field("action", a == 0 ? "opened" : a == 1 ? "closed" : "reopened");
        j_.key("issue");
        issue(i, false);
        j_.end_object();
    }

    void branch(const std::string& label, const std::string& ref) {
        j_.begin_object();
        j_.field("label", label + ":" + ref);
        j_.field("ref", ref);
        j_.field("sha", sha());
        j_.end_object();
    }

    void pull(std::size_t i, const std::string& name) {
        const std::int64_t number = static_cast<std::int64_t>(1 + below(5000));
        const std::uint64_t a = below(3);
        const bool closed = a == 1;
        const std::uint64_t who = below(100'000);
        j_.begin_object();
        j_.field("action", a == 0 ? "opened" : a == 1 ? "closed" : "reopened");
        j_.field("number", number);
        j_.key("pull_request");
        j_.begin_object();
        j_.field("id", static_cast<std::int64_t>(1'700'000'000 + below(100'000'000)));
        j_.field("number", number);
        j_.field("state", closed ? "closed" : "open");
        j_.field("locked", false);
        j_.field("title", phrase());
        j_.key("user");
        user(who);
        j_.key("body");
        j_.value(maybe_phrase(70));
        j_.field("created_at", time(i, 86400 + below(86400 * 3)));
        j_.field("updated_at", time(i, below(600)));
        j_.key("closed_at");
        j_.value(closed ? std::optional<std::string>(time(i)) : std::nullopt);
        j_.key("merged_at");
        const bool merged = closed && chance(80);
        j_.value(merged ? std::optional<std::string>(time(i)) : std::nullopt);
        j_.key("head");
        branch(login(who), "fix-" + std::to_string(number));
        j_.key("base");
        branch(name.substr(0, name.find('/')), "main");
        j_.field("draft", chance(10));
        j_.field("merged", merged);
        j_.field("commits", static_cast<std::int64_t>(1 + below(20)));
        j_.field("additions", static_cast<std::int64_t>(below(2000)));
        j_.field("deletions", static_cast<std::int64_t>(below(800)));
        j_.field("changed_files", static_cast<std::int64_t>(1 + below(40)));
        j_.end_object();
        j_.end_object();
    }

    void fork(std::size_t i, const std::string& name) {
        static constexpr std::array<const char*, 5> languages = {"C++", "Rust", "Go", "OCaml",
                                                                 "TypeScript"};
        static constexpr std::array<const char*, 6> topics = {"json", "parser", "compiler",
                                                              "cli",  "web",    "database"};
        const std::uint64_t who = below(100'000);
        const std::string repo_name = name.substr(name.find('/') + 1);
        j_.begin_object();
        j_.key("forkee");
        j_.begin_object();
        j_.field("id", static_cast<std::int64_t>(700'000'000 + below(100'000'000)));
        j_.field("name", repo_name);
        j_.field("full_name", login(who) + "/" + repo_name);
        j_.key("owner");
        user(who);
        j_.field("private", false);
        j_.key("description");
        j_.value(maybe_phrase(60));
        j_.field("fork", true);
        j_.field("created_at", time(i));
        j_.field("stargazers_count", static_cast<std::int64_t>(0));
        j_.key("language");
        j_.value(chance(75) ? std::optional<std::string>(languages[below(5)]) : std::nullopt);
        j_.key("topics");
        j_.begin_array();
        for (std::uint64_t n = below(4), k = below(6); n > 0; --n, k = (k + 1) % 6)
            j_.value(topics[k]);
        j_.end_array();
        j_.end_object();
        j_.end_object();
    }

    void create() {
        const std::uint64_t t = below(10);
        j_.begin_object();
        j_.key("ref");
        if (t < 6) {
            j_.value("feature/" + login(below(1000)));
        } else if (t < 8) {
            j_.value("v" + std::to_string(below(5)) + "." + std::to_string(below(20)) + ".0");
        } else {
            j_.value(std::optional<std::string>());
        }
        j_.field("ref_type", t < 6 ? "branch" : t < 8 ? "tag" : "repository");
        j_.field("master_branch", chance(80) ? "main" : "master");
        j_.key("description");
        j_.value(maybe_phrase(50));
        j_.field("pusher_type", "user");
        j_.end_object();
    }

    void issue_comment(std::size_t i) {
        static constexpr std::array<const char*, 4> associations = {"NONE", "CONTRIBUTOR", "MEMBER",
                                                                    "OWNER"};
        j_.begin_object();
        j_.field("action", "created");
        j_.key("issue");
        issue(i, true);
        j_.key("comment");
        j_.begin_object();
        j_.field("id", static_cast<std::int64_t>(1'900'000'000 + below(100'000'000)));
        j_.key("user");
        user(below(100'000));
        j_.field("created_at", time(i));
        j_.field("updated_at", time(i));
        j_.field("author_association", associations[below(4)]);
        j_.key("body");
        j_.value(phrase(), true);  // as \u escapes, as some services send text
        j_.key("reactions");
        j_.begin_object();
        const auto up = static_cast<std::int64_t>(chance(20) ? below(9) : 0);
        const auto heart = static_cast<std::int64_t>(chance(10) ? below(3) : 0);
        j_.field("total_count", up + heart);
        j_.field("+1", up);
        j_.field("-1", static_cast<std::int64_t>(0));
        j_.field("laugh", static_cast<std::int64_t>(0));
        j_.field("heart", heart);
        j_.field("rocket", static_cast<std::int64_t>(0));
        j_.end_object();
        j_.end_object();
        j_.end_object();
    }

    json_text j_;
    std::mt19937_64 rng_{20240301};
};

}  // namespace detail

/// `events` events from a fixed seed, indented by `indent` spaces a level (0: compact).
inline stream make_event_stream(std::size_t events = event_count, int indent = 2) {
    return detail::generator(indent).make(events);
}

}  // namespace event_stream
