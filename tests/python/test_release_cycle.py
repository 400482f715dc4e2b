"""A translation's whole life on real folders: the window creates the project from one game
release, a translator translates it, the next release comes, Check and Update bring the file
up to it and Build compiles it; the game's language file then holds the translation under the
new release's ids, with its images and version stamp."""

import base64
import json
import pytest

import verbix
from window_harness import dialogs, gen, open_app, panel, place  # noqa: F401


def know_sections(rec):
    for key in rec["sections"]:
        if key not in verbix.SECTIONS:
            verbix.SECTIONS.append(key)


@pytest.mark.parametrize("form, target", [("TXT", "TXT"), ("CSV", "CSV"), ("TXT", "CSV")])
def test_create_translate_update_build(tmp_path, place, open_app, recorder, monkeypatch, form,
                                       target):
    old_path = tmp_path / "release1" / "lang.dat"
    old = gen.write_lang_dat(old_path, "small", version=1)
    new = gen.make_record("small", version=2)
    know_sections(new)

    # Create, in the window, from the first release.
    app = open_app(old_path)
    app.create_folder_inp.insert(0, "Spanish")
    app.create_format_opt.set(form)
    app.create_images_opt.set("PNG")
    app.create_folder_btn.invoke()
    project = place.root / "Spanish"
    path = project / f"dialogue.{form.lower()}"
    assert path.exists(), panel(app)

    # The translator's weeks of work.
    english, _ = verbix.dlg_data(str(path))
    translation = gen.translate_record(english)
    if form == "TXT":
        assert verbix.utils.txt_save(str(path), verbix.dat_2_txt(translation)) == 0
    else:
        assert verbix.utils.csv_save(str(path), verbix.dat_2_csv(old, translation)) == 0

    # The next release: Check reports its changes, Update takes the file there.
    verbix.check_translation(new, str(path), recorder)
    # Expected totals from the file as it reads back: every key of the new release that the
    # file lacks or leaves empty is added (unless the game leaves it empty too: a speaker
    # shown without a name), every key the release dropped is removed.
    mine, _ = verbix.dlg_data(str(path))
    mine["text_lut"] = {gen.RENAMED_IDS.get(k, k): v for k, v in mine["text_lut"].items()}
    adds = sum(1 for t in gen.TABLES for k in new[t]
               if not mine[t].get(k) and (k not in mine[t] or new[t][k]))
    rems = sum(1 for t in gen.TABLES for k in mine[t] if k not in new[t])
    assert rems >= sum(len(r) for _, r in gen.release_changes(old, new).values())
    assert f"Additions: {adds} / Removals: {rems}\n" in [
        c[1] for c in recorder.calls if c[0] == "append_log"]
    monkeypatch.setenv("VERBIX_OPENER", "true")
    merged = verbix.update_translation(new, str(path), target, "Replace All", True, recorder)
    assert merged is not None
    updated = project / f"dialogue.{target.lower()}"

    out = tmp_path / "game"
    out.mkdir()
    assert verbix.build_translation(new, str(updated), str(out), recorder) is True
    shown = [c[1] for c in recorder.calls if c[0] == "append_log"]
    cld = out / "Español.cld"
    data = cld.read_bytes()
    assert data[:8] == b"LANGDATA" and data.isascii()
    doc = json.loads(data[8:])

    assert doc["langVers"] == new["ver_hash"] and doc["langName"] == "Español"
    assert doc["imgFiles"] == {k: base64.b64encode(v).decode() for k, v in new["img_data"].items()}
    # Renamed ids carry the translation made under their old ids.
    for old_id, new_id in gen.RENAMED_IDS.items():
        if translation["text_lut"].get(old_id):
            lines = doc["linesLUT"].get(new_id) or [doc["labelLUT"][new_id]]
            assert lines[0] == translation["text_lut"][old_id][0], new_id
    # Every dialogue block of the new release: the translation where the translator had one,
    # the new release's English where the id is new.
    kept = added = 0
    for entries in new["sections"].values():
        for entry in entries:
            if entry["name"] == "[CHOICES]":
                continue
            cid = entry["text"][0]
            before = next((k for k, v in gen.RENAMED_IDS.items() if v == cid), cid)
            if translation["text_lut"].get(before):
                assert doc["linesLUT"][cid] == translation["text_lut"][before], cid
                kept += 1
            else:
                assert doc["linesLUT"][cid] == new["text_lut"][cid], cid
                added += 1
    assert kept > 0 and added > 0
    assert shown[-1] == f"Successfully built to: {cld}"
