"""What changed since a translation was made, and what is left, on real project folders
through verbix-cli: release 1 is created and wholly translated, release 2 changes known
English texts (the generator marks them), adds and removes; Check lists exactly the changed
texts with their old and new English, in the panel and in its JSON, with english.dat or (in a
CSV project) the English column as the baseline; Update writes review.csv, which keeps the
rows the translator has not touched through the update to release 3; the statistics match
counts made here; "Replace Untranslated" keeps a translated image and replaces the others."""

import csv
import json

import pytest

import verbix
from test_cli import cli, gen, run  # noqa: F401 (fixtures)

LABELS = {"sys_lbls": "Label", "sys_menu": "Menu", "actr_lut": "Actor", "item_lut": "Item",
          "text_lut": "Lines"}


def shown(value):
    return "\n".join(value) if isinstance(value, list) else value


@pytest.fixture(scope="module")
def releases(tmp_path_factory):
    """Paths, records and marks of three releases; release 2 also redraws two images."""
    folder = tmp_path_factory.mktemp("releases")
    r1 = gen.make_record("tiny", version=1)
    r2, marks2 = gen.revise_english(r1, seed=2, stamp="Episode 4 v1.3.0")
    images = dict(r2["img_data"])
    redrawn = sorted(images)[:2]
    for key in redrawn:
        images[key] = images[key] + b"redrawn"
    r2["img_data"] = images
    r3, marks3 = gen.revise_english(r2, seed=3, stamp="Episode 4 v1.4.0")
    out = []
    for number, rec in enumerate((r1, r2, r3), 1):
        path = folder / f"lang_{number}.dat"
        path.write_bytes(gen.encode(rec))
        for key in rec["sections"]:
            if key not in verbix.SECTIONS:
                verbix.SECTIONS.append(key)
        out.append((path, rec))
    return out, marks2, marks3, redrawn


def save(path, form, english, rec):
    if form == "TXT":
        assert verbix.utils.txt_save(str(path), verbix.dat_2_txt(rec)) == 0
    else:
        assert verbix.utils.csv_save(str(path), verbix.dat_2_csv(english, rec)) == 0


def check(run, game, target, tmp_path):
    report = tmp_path / "check.json"
    done = run("check", "--game", game, "--target", target, "--json", report)
    assert done.returncode == 0, done.stderr
    return done.stdout.splitlines(), json.loads(report.read_text(encoding="utf-8"))


def review_rows(project):
    with open(project / "review.csv", encoding="utf-8", newline="") as f:
        rows = list(csv.reader(f))
    assert rows[0] == ["Kind", "Table", "ID", "Position", "Old English", "New English",
                       "Translation"]
    return rows[1:]


def expected_changes(marks, tables=LABELS):
    return {(t, k) for t in tables for k in marks[t]["changed"]}


@pytest.mark.parametrize("form", ["TXT", "CSV"])
def test_changed_english_is_listed_kept_for_review_and_counted(run, releases, tmp_path, form):
    (g1, r1), (g2, r2), (g3, r3) = releases[0]
    marks2, marks3, redrawn = releases[1], releases[2], releases[3]
    project = tmp_path / "Spanish"
    target = project / f"dialogue.{form.lower()}"
    assert run("create", "--game", g1, "--out", project, "--format", form,
               "--images", "PNG").returncode == 0
    english, _ = verbix.dlg_data(str(target))
    translation = gen.translate_record(english)
    save(target, form, r1, translation)
    mine = next(iter(sorted(r1["img_data"])))  # the translator redraws one image
    assert mine == redrawn[0]
    (project / f"{mine}.png").write_bytes(b"translated image")

    # Check against release 2: exactly the marked changes, with old and new English.
    lines, found = check(run, g2, target, tmp_path)
    changed = {(c["table"], c["id"]) for c in found["changed"]}
    assert changed == expected_changes(marks2)
    for c in found["changed"]:
        assert (c["was"], c["now"]) == (r1[c["table"]][c["id"]], r2[c["table"]][c["id"]])
        assert c["translation"] == translation[c["table"]][c["id"]]
        at = [i for i, line in enumerate(lines) if line.startswith(
            f"{LABELS[c['table']]} changed at ") and line.endswith(f"): {shown(c['now'])}")]
        assert len(at) == 1 and lines[at[0] + 1] == f"    was: {shown(c['was'])}"
    assert {(a["table"], a["id"]) for a in found["added"]} == {
        (t, k) for t in LABELS for k in marks2[t]["added"]}
    assert {(r["table"], r["id"]) for r in found["removed"]} == {
        (t, k) for t in LABELS for k in marks2[t]["removed"]}
    assert found["totals"] == {"added": len(found["added"]), "removed": len(found["removed"]),
                               "changed": len(changed)}
    assert (found["format"], found["baseline"]) == (form, True)
    assert found["version"] == {"project": r1["ver_hash"], "game": r2["ver_hash"]}
    assert f"English changed: {len(changed)} (translations kept, to review)" in lines
    assert "Statistics:" in lines

    # Without english.dat: the CSV form's English column (no menus), or the TXT form's note.
    (project / "english.dat").rename(tmp_path / "english.dat")
    lines, found = check(run, g2, target, tmp_path)
    if form == "CSV":
        assert found["baseline"] is True
        assert {(c["table"], c["id"]) for c in found["changed"]} == expected_changes(
            marks2, [t for t in LABELS if t != "sys_menu"])
    else:
        assert found["baseline"] is False and found["changed"] == []
        assert ("No English baseline in this project: texts whose English changed cannot be "
                "listed until Update writes one.") in lines
    (tmp_path / "english.dat").rename(project / "english.dat")

    # Update to release 2: review.csv holds the additions and the changes; the redrawn
    # image the translator had changed is kept and listed, the other is replaced.
    done = run("update", "--game", g2, "--target", target, "--yes", "--no-backup",
               "--images", "Replace Untranslated")
    assert done.returncode == 0, done.stderr
    rows = review_rows(project)
    assert {(r[1], r[2]) for r in rows if r[0] == "added"} == {
        (LABELS[t], k) for t in LABELS for k in marks2[t]["added"]}
    assert {(r[1], r[2]) for r in rows if r[0] == "changed" and r[1] != "Image"} == {
        (LABELS[t], k) for t, k in expected_changes(marks2)}
    assert [r[2] for r in rows if r[1] == "Image"] == [mine]
    assert f"Texts to review: {len(rows)}, listed in {project / 'review.csv'}" in \
        done.stdout.splitlines()
    assert (project / f"{mine}.png").read_bytes() == b"translated image"
    assert (project / f"{redrawn[1]}.png").read_bytes() == r2["img_data"][redrawn[1]]
    updated, _ = verbix.dlg_data(str(target))
    for r in rows:
        if r[1] != "Image":
            table = next(t for t, label in LABELS.items() if label == r[1])
            assert r[5] == shown(r2[table][r[2]]) and r[6] == shown(updated[table][r[2]])

    # The translator edits half of the listed texts; Update to release 3 keeps the others
    # and adds release 3's.
    texts = sorted((r[1], r[2]) for r in rows if r[1] != "Image")
    edited, untouched = texts[::2], texts[1::2]
    by_label = {label: t for t, label in LABELS.items()}
    for label, key in edited:
        value = updated[by_label[label]][key]
        updated[by_label[label]][key] = ([f"«{line}» editado" for line in value]
                                         if isinstance(value, list) else f"«{value}» editado")
    save(target, form, r2, updated)
    done = run("update", "--game", g3, "--target", target, "--yes", "--no-backup",
               "--images", "Change Nothing")
    assert done.returncode == 0, done.stderr
    rows = review_rows(project)
    kept = {(label, key) for label, key in untouched if key in r3[by_label[label]]}
    new = {(LABELS[t], k) for t in LABELS for k in marks3[t]["added"] | marks3[t]["changed"]}
    assert {(r[1], r[2]) for r in rows if r[1] != "Image"} == kept | new
    assert len(rows) == len({(r[1], r[2]) for r in rows})

    # Statistics against counts made here.
    report = tmp_path / "stats.json"
    done = run("stats", "--game", g3, "--target", target, "--json", report)
    assert done.returncode == 0, done.stderr
    stats = json.loads(report.read_text(encoding="utf-8"))
    project_rec, _ = verbix.dlg_data(str(target))
    listed = {(r[1], r[2]) for r in rows}

    def counts(table, keys):
        done_ = [k for k in keys if shown(project_rec[table].get(k, "")).strip()
                 and project_rec[table].get(k) != r3[table][k]]
        return {"total": len(keys), "translated": len(done_),
                "untranslated": len(keys) - len(done_),
                "review": sum((LABELS[table], k) in listed for k in keys)}

    for table in LABELS:
        assert stats["tables"][table] == counts(table, list(r3[table])), table
    spoken = list(dict.fromkeys(cid for entries in r3["sections"].values()
                                for e in entries for cid in e["text"]))
    assert stats["dialogue"] == counts("text_lut", spoken)
    assert set(stats["sections"]) == set(r3["sections"])
    files = {k: project / f"{k}.png" for k in r3["img_data"]}
    assert stats["images"] == {
        "total": len(files),
        "translated": sum(f.exists() and f.read_bytes() != r3["img_data"][k]
                          for k, f in files.items()),
        "missing": sum(not f.exists() for f in files.values())}
    total = sum(stats["tables"][t]["total"] for t in LABELS)
    assert stats["percent"] == round(
        100 * sum(stats["tables"][t]["translated"] for t in LABELS) / total, 1)
