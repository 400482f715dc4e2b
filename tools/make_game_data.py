"""Writes fictional language data for the game "Lanternfall": a lang.dat (zlib level 6 of a
pickled record) for tests, benchmarks and the demo. Standard library only.

    python3.12 tools/make_game_data.py --size small --out demo/lang.dat
    python3.12 tools/make_game_data.py --size large --version 2 --protocol 5 --out /tmp/lang.dat
    python3.12 tools/make_game_data.py --size large --cache    # prints the cached file's path

From Python: make_record(size, seed, version) returns the record; game_data_cache(size, ...)
returns the path of a cached lang.dat, writing it on first use; translate_record(rec, seed)
returns the record as a translator leaves it; release_changes(old, new) gives, per table, the
keys that a release added and removed.

The data is built so that it survives the tool's dialogue text and CSV forms: choice option
texts hold no ":" and no "(", speaker names are unique and hold no "(", credit lines hold no
":", section keys contain "json", and no text holds a line break. Speakers with an empty
display name are never used by dialogue (those blocks would come back as narrator blocks).
Version 2 is the next release of the same game: the four content ids that the Update workflow
knows as replaced carry their new ids, and some blocks, items, labels, speakers, images and one
section are added or removed.
"""

import argparse
import hashlib
import os
import pathlib
import pickle
import random
import struct
import sys
import time
import zlib

DEFAULT_SEED = 7

# Sizes: dialogue sections and lines, items, main cast and extra speakers, labels, menus,
# images with their total PNG bytes, and the scale of the image dimensions.
SIZES = {
    "tiny": dict(sections=2, lines=16, items=4, cast=5, npcs=1, mute=1, labels=5, menus=4,
                 images=3, image_bytes=1_500, image_scale=1 / 40),
    "small": dict(sections=5, lines=400, items=30, cast=12, npcs=12, mute=2, labels=24, menus=12,
                  images=10, image_bytes=60_000, image_scale=1 / 10),
    "medium": dict(sections=40, lines=60_000, items=500, cast=30, npcs=150, mute=6, labels=120,
                   menus=40, images=120, image_bytes=19_500_000, image_scale=1 / 2),
    "large": dict(sections=200, lines=300_000, items=2_000, cast=30, npcs=300, mute=10,
                  labels=400, menus=120, images=600, image_bytes=150_000_000, image_scale=1),
}

VERSION_LABELS = {1: "Episode 4 v1.2.0", 2: "Episode 4 v1.3.0"}

# Content ids that the next release renames (old id -> new id); the Update workflow knows them.
RENAMED_IDS = {"yrrRQ30Q": "w7ZvbBvC", "lcmDVkXT": "4yhN4h9P",
               "cT2mmJwp": "DCRBH5zy", "GXCRgnRB": "DxhMltBG"}

RECORD_KEYS = ("ver_hash", "lng_name", "lng_info", "fnt_face", "fnt_size", "fnt_data",
               "sys_lbls", "sys_menu", "actr_lut", "item_lut", "text_lut", "img_data", "sections")

CHOICES = "[CHOICES]"
ALNUM = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
# First cells that the CSV reader takes for block headers; no key may read as one.
CSV_HEADS = {"MENUS", "ITEMS", "LABELS", "VERSION", "SECTION", "CREDIT 1", "SPEAKERS",
             "LANGUAGE", "DESCRIPTIONS"}

CREDITS = ["Lanternfall, a story by Harbourlight Games",
           "English text by Mara Quill & Teo Haskå",
           "Thank you for playing ❤"]

# Main cast: id -> display name. Names are unique, never "Narrator", never hold "(".
CAST = [("anna", "Anna"), ("bram", "Brám"), ("hana", "花子"), ("quill", "Mx. Quill "),
        ("mochi", "🐈 Mochi"), ("cleo", "Cléo"), ("dario", "Darío"), ("elin", "Élin"),
        ("fenn", "Fenn"), ("itou", "伊藤 Kenji"), ("juno", "Juno"), ("kai", "Kai"),
        ("mireille", "Mireille"), ("noor", "Noor"), ("oskar", "Øskar"), ("pia", "Pía"),
        ("rosa", "Rosa \"Red\" Vale"), ("sven", "Sven"), ("tala", "Tala"), ("ume", "\u3000梅"),
        ("vera", "Véra"), ("wren", "Wren"), ("xiu", "秀"), ("yara", "Yara"), ("zeno", "Zeno"),
        ("mayor", "The Mayor"), ("keeper", "Lighthouse Keeper"), ("voice", "???"),
        ("ghost", "Ghost, probably"), ("jun", "준")]
NPC_ROLES = ["Guard", "Merchant", "Sailor", "Baker", "Villager", "Child", "Monk", "Scholar",
             "Fisher", "Courier", "Soldier", "Innkeeper", "Traveller", "Priestess", "Smuggler",
             "Clerk", "Ferryman", "Bard", "Widow", "Apprentice"]
NPC_MOODS = ["", "Old ", "Young ", "Tired ", "Jolly ", "Nervous ", "Großer ", "Petite ",
             "Señor ", "Masked ", "Drunk ", "Lost "]
MUTE = ["sys_prompt", "crowd_noise", "voice_over", "sfx_bell", "radio", "unknown_01",
        "unknown_02", "chorus", "pa_system", "echo", "crowd_far", "dream_voice"]

PLACES = ["the docks", "Lanternfall", "the old lighthouse", "Café Aurélie", "the market",
          "Saint-Étienne Bridge", "the 月見 shrine", "Kraków Street", "the north pier",
          "the library", "the bell tower", "Hafenstraße", "the salt flats", "Mochi's alley"]
THINGS = ["the brass key", "a letter", "Mochi's collar", "the ledger", "a lantern",
          "the 秘密 box", "my compass", "the red umbrella", "a jar of honey", "the map",
          "grandpa's watch", "the seal", "the tide tables", "a crêpe"]
CJK = ["ありがとう", "一期一会", "好久不见", "안녕하세요", "月が綺麗ですね", "大丈夫", "加油",
       "ただいま", "灯台守", "海の音"]
EMOJI = ["🙂", "😂", "✨", "🔥", "🌙", "⚓", "🏮", "❤️", "🐈", "🎉", "👀", "🌊"]

LINES = [
    "Have you seen {t} anywhere near {p}?",
    "We leave at dawn, {n}. Don't be late.",
    "“{t}?” No, I haven't touched it.",
    "It costs {k} coins: not a copper less.",
    "(sighs) Fine, fine, I'll come along.",
    "Wait… did you hear that?",
    "The sign reads: \"{p}, {k} leagues\".",
    "「{c}」…that's what she said.",
    "Ha! You call that a plan? {e}",
    "I'm sorry, {n}. Truly.",
    "Meet me at {p}, after the bells.",
    "{n}, it's late: the lanterns are going out.",
    "Ça va? You look pale.",
    "This belonged to my grandmother (or so she claimed).",
    "Three things: rope, oil, and {t}.",
    "Don't touch that!",
    "...",
    "{e}",
    "Why would anyone hide {t} in {p}?",
    "Voilà, the famous crème brûlée of {p}.",
    "He said, 'Trust no one,' and then he left.",
    "Nobody goes to {p} at night. Nobody.",
    "I counted {k} ships in the harbour, maybe more.",
    "Über-careful, as always, {n}?",
    "Señora, por favor: one more day.",
    "It's {c}, in the old tongue.",
    "Keep your voice down; the walls listen.",
    "Really? {t}? Again?",
    "Quick, hide {t} behind the crates!",
    "Ah, {n}! Just the person I wanted to see {e}",
    "Hm. {p} has changed since last winter.",
    "50% off everything (today only)!",
    "Name, rank, purpose: in that order.",
    "Smørrebrød, pierogi, jiaozi: I've tried them all.",
    "Tomorrow. Maybe. If the tide allows it.",
    "Listen… the lighthouse is singing again.",
    "“Don't,” she whispered. “Not yet.”",
    "I'll take {t}, and you take the map.",
    "{c}! {c}!",
    "Step {k} of 12: light the wick (carefully).",
]
# Option texts: no ":" and no "(", since the text form splits option lines at both.
OPTIONS = ["Ask about {t}.", "Say nothing.", "“Let's go, {n}!”", "Leave {p} 🚪", "Stay a while",
           "Ça suffit.", "「はい」", "  Lie  ", "Trust {n}\u3000", "Give {k} coins",
           "Run!", "Shake hands, politely", "Refuse, firmly", "Tell the truth {e}",
           "Wait for dawn", "Follow the lanterns", "Maybe later…", "Ask {n} instead",
           "\"Never.\"", "Smile 🙂"]
# Shown first, so that even the tiny set carries every kind of character the formats meet.
SHOWCASE = ["Welcome to Lanternfall, traveller.",
            "  Mind the step (it's loose).",
            "A trailing blank follows this sentence. ",
            "\u3000An indented line, as in a Japanese script.",
            "Café, naïve, Ærø, São Paulo, Zürich.",
            "灯台の下で待っています。",
            "Party time 🎉🏮",
            "He said: \"Quotes, 'single' and “curly”.\"",
            "Commas, colons: semicolons; all here.\u3000"]

ITEM_NOUNS = [("key", "Brass Key"), ("herb", "Healing Herb"), ("letter", "Letter"),
              ("oil", "Lantern Oil"), ("stone", "Moonstone"), ("compass", "Compass"),
              ("honey", "Honey Jar"), ("rope", "Rope"), ("map", "Map Fragment"),
              ("voucher", "Café Voucher"), ("tsuki", "月の鍵"), ("watch", "Pocket Watch"),
              ("seal", "Seal of Saint-Étienne"), ("fish", "Smoked Fish"), ("candle", "Candle"),
              ("ribbon", "Ribbon"), ("apple", "🍎 Apple"), ("feather", "Feather"),
              ("page", "Ledger Page"), ("bell", "Bell")]
ITEM_ADJS = ["", "", "Old ", "Rusty ", "Shiny ", "Small ", "Large ", "Cracked ", "Blessed ",
             "Grand-mère's ", "Wet ", "Golden "]
DESCS = ["A {a}{m}, smelling faintly of the sea.", "Found at {p}.",
         "Worth {k} coins, or so they say.", "Use: opens something, somewhere.",
         "“Handle with care.”", "  Someone scratched initials into it: M.Q.",
         "Not edible (probably).", "It hums when {n} is near.\u3000", "{c}", "Weight: {k} g"]

LABELS = [("ok", "OK"), ("no", "No"), ("yes", "Yes"), ("back", " Back "), ("hp", "HP"),
          ("lbl_save", "Save"), ("lbl_load", "Load"), ("gold", "Gold"),
          ("lbl_saving", "Saving… do not turn off the power."),
          ("lbl_slot_empty", "— Empty —"), ("lbl_slot", "Slot %d: %s"),
          ("lbl_quit_confirm", "Quit to title? (Unsaved progress will be lost.)"),
          ("lbl_chapter", "Chapter {0}: {1}"), ("lbl_settings", "設定"),
          ("lbl_bgm", "Volume\u3000BGM"), ("lbl_text_speed", "Text speed, in characters/second"),
          ("lbl_new_item", "New item! ✨"), ("lbl_credits", "Credits"),
          ("lbl_autosave_warning_while_icon_is_shown",
           "This game saves automatically when \"💾\" appears.")]
MENUS = [("new_game", "New Game"), ("continue", "Continue"), ("load", "Load Game"),
         ("options", "Options"), ("extras", "Extras ✨"), ("gallery", "Gallery (CG)"),
         ("quit", "Quit"), ("m_lang", "Language: English"), ("m_bgm", "BGM"), ("m_se", "SE"),
         ("m_text_speed_fast_forward_read_only", "Skip read text only"),
         ("m_voice", "Voice\u3000Volume"), ("m_win", "Window: opacity, 80%")]
UI_WORDS = ["start", "load", "save", "options", "back", "skip", "auto", "log", "quick_save",
            "quick_load", "yes", "no", "close", "next", "prev", "gallery", "music", "extras"]
ICON_WORDS = ["heart", "coin", "quest", "map", "key", "lock", "star", "bell", "lantern", "tide"]
SCENES = ["intro", "docks", "market", "lighthouse", "night", "festival", "library", "storm",
          "tavern", "forest", "ruins", "harbour", "bridge", "shrine", "return", "finale",
          "dream", "trial", "letters", "departure"]


def hash_string(text, length=16):
    """The first `length` (at least one) lower-case hex digits of SHA-256 of the UTF-8 text."""
    return hashlib.sha256(text.encode("utf-8")).hexdigest()[:max(1, length)]


def data_hash(rec):
    """The 20-character fingerprint of a record's ids: 16 digits over the sorted ids of its
    text maps, then 4 digits over its sorted image keys. Sections and values play no part."""
    images, content = set(), set()
    for key, value in rec.items():
        if key == "sections" or not isinstance(value, dict):
            continue
        (images if "img" in key else content).update(value)
    return hash_string("".join(sorted(content)), 16) + hash_string("".join(sorted(images)), 4)


class Story:
    """Builds the parts of one game version from a seeded random stream."""

    def __init__(self, size, seed):
        self.cfg = SIZES[size]
        self.rng = random.Random(seed)
        self.used = set(RENAMED_IDS) | set(RENAMED_IDS.values())
        self.showcase = list(SHOWCASE)
        self.cast_names = [name.strip() for _, name in CAST]

    # ids and texts

    def new_id(self):
        rng, used = self.rng, self.used
        while True:
            cid = "".join(rng.choices(ALNUM, k=8))
            if cid not in used:
                used.add(cid)
                return cid

    def unique_key(self, key):
        assert key.upper() not in CSV_HEADS and key not in self.used, key
        self.used.add(key)
        return key

    def fill(self, template):
        rng = self.rng
        return template.format(n=rng.choice(self.cast_names), p=rng.choice(PLACES),
                               t=rng.choice(THINGS), c=rng.choice(CJK), e=rng.choice(EMOJI),
                               k=rng.randint(2, 999))

    def line(self):
        if self.showcase:
            return self.showcase.pop(0)
        rng = self.rng
        text = self.fill(rng.choice(LINES))
        r = rng.random()
        if r < 0.04:
            text = "  " + text
        elif r < 0.07:
            text = text + " "
        elif r < 0.09:
            text = "\u3000" + text
        elif r < 0.11:
            text = "“" + text + "”"
        elif r < 0.13:
            text = text + " " + rng.choice(EMOJI)
        return text

    # tables

    def speakers(self):
        cfg, rng = self.cfg, self.rng
        actr = {self.unique_key(cid): name for cid, name in CAST[:cfg["cast"]]}
        names = set(actr.values())
        count = {}
        while len(actr) < cfg["cast"] + cfg["npcs"]:
            role = rng.choice(NPC_ROLES)
            name = rng.choice(NPC_MOODS) + role
            while name in names:
                name = f"{rng.choice(NPC_MOODS)}{role} #{rng.randint(2, 99)}"
            names.add(name)
            count[role] = count.get(role, 0) + 1
            actr[self.unique_key(f"npc_{role.lower()}_{count[role]:02d}")] = name
        for cid in MUTE[:cfg["mute"]]:
            actr[self.unique_key(cid)] = ""
        # Who speaks: the cast most, in falling shares, then the extras.
        self.voices = [cid for cid, name in actr.items() if name]
        cast = min(cfg["cast"], len(self.voices))
        self.weights = [8.0 / (1 + i / 4) if i < cast else 0.3 for i in range(len(self.voices))]
        return actr

    def table(self, fixed, count, prefix):
        rng, out = self.rng, {}
        for key, text in fixed[:count]:
            out[self.unique_key(key)] = text
        n = 0
        while len(out) < count:
            n += 1
            word = rng.choice(SCENES + UI_WORDS)
            key = f"{prefix}{word}_{n}"
            if rng.random() < 0.3:
                key += f"_{rng.choice(SCENES)}_text"
            text = self.fill(rng.choice(LINES + OPTIONS)).strip() or "…"
            out[self.unique_key(key)] = text
        return out

    def item(self, per_slug):
        rng = self.rng
        slug, noun = rng.choice(ITEM_NOUNS)
        per_slug[slug] = per_slug.get(slug, 0) + 1
        iid = self.unique_key(f"{slug}_{per_slug[slug]:03d}")
        adj = rng.choice(ITEM_ADJS)
        name = adj + noun
        r = rng.random()
        if r < 0.15:
            name += f" No. {rng.randint(1, 99)}"
        elif r < 0.25:
            name += f" ×{rng.randint(2, 12)}"
        elif r < 0.3:
            name += " (sealed)"
        if rng.random() < 0.04:
            desc = []
        else:
            desc = [DESCS[0].format(a=adj.lower(), m=noun.lower())]
            desc += [self.fill(rng.choice(DESCS[1:])) for _ in range(rng.choice((0, 1, 1, 2)))]
        return iid, name, desc

    def items(self):
        self.per_slug = {}
        item_lut, descs = {}, {}
        for _ in range(self.cfg["items"]):
            iid, name, desc = self.item(self.per_slug)
            item_lut[iid], descs[iid] = name, desc
        return item_lut, descs

    # dialogue

    def speaker(self):
        rng = self.rng
        if rng.random() < 0.15:
            return ""
        return rng.choices(self.voices, self.weights)[0]

    def choice(self, lines):
        ids = [self.new_id() for _ in range(self.rng.choice((2, 2, 3, 3, 4)))]
        for cid in ids:
            lines[cid] = [self.fill(self.rng.choice(OPTIONS))]
        return {"name": CHOICES, "text": ids}

    def block(self, lines, count):
        cid = self.new_id()
        lines[cid] = [self.line() for _ in range(count)]
        return {"name": self.speaker(), "text": [cid]}

    def section(self, quota, lines):
        """Entries of one section holding exactly `quota` dialogue lines, at least one choice."""
        rng, entries = self.rng, []
        while quota > 0:
            if entries and rng.random() < 0.09:
                entries.append(self.choice(lines))
                continue
            count = min(quota, rng.choices((1, 2, 3, 4), (40, 30, 20, 10))[0])
            entries.append(self.block(lines, count))
            quota -= count
        if not any(e["name"] == CHOICES for e in entries):
            entries.insert(rng.randint(1, len(entries)), self.choice(lines))
        return entries

    def sections(self):
        cfg, lines, sections = self.cfg, {}, {}
        total, count = cfg["lines"], cfg["sections"]
        for i in range(count):
            chapter, scene = i // 10 + 1, SCENES[(i % 10 + (i // 10) * 3) % len(SCENES)]
            ext = ".JSON" if i % 17 == 1 else ".json"
            if i % 23 == 4:
                scene, ext = scene.title(), ".Json"
            quota = total // count + (1 if i < total % count else 0)
            sections[self.unique_key(f"ch{chapter:02d}_{scene}{ext}")] = self.section(quota, lines)
        # Put the four ids that the next release renames into the story.
        first, last = list(sections.values())[0], list(sections.values())[-1]
        talk = [e for e in first if e["name"] != CHOICES]
        option = next(e for s in sections.values() for e in s if e["name"] == CHOICES)
        last_talk = [e for e in last if e["name"] != CHOICES][-1]
        places = (talk[0], talk[min(1, len(talk) - 1)], option, last_talk)
        for entry, new in zip(places, RENAMED_IDS):
            if entry["text"][0] in RENAMED_IDS:  # one short section: fall back to a new block
                entry = self.block(lines, 1)
                first.append(entry)
            lines[new] = lines.pop(entry["text"][0])
            entry["text"][0] = new
        return sections, lines

    # images

    def image_keys(self, item_ids):
        count = self.cfg["images"]
        keys = ["img/ui/title", "img/chars/anna[bust]", "img/!icon", "img/ui/menu_bg"]
        expressions = ["", "_smile", "_angry", "_sad", "_shock", "_night"]
        busts = [f"img/chars/{cid}{x}" for x in expressions for cid, _ in CAST[:self.cfg["cast"]]]
        busts = [k + ("[Bust]" if i % 10 == 9 else "[bust]") for i, k in enumerate(busts)]
        cgs = [f"img/cg/ch{c:02d}_{k:02d}" for c in range(1, 21) for k in range(1, 16)]
        items = [f"img/items/{iid}" for iid in item_ids]
        ui = [f"img/ui/btn_{w}" for w in UI_WORDS]
        ui += [f"img/ui/panel_{k:02d}" for k in range(1, 100)]
        icons = [f"img/icons/!{w}" for w in ICON_WORDS]
        icons += ["img/ui/!badge_new", "img/items/!rare_frame"]
        pools = {"bust": busts, "cg": cgs, "item": items, "ui": ui, "icon": icons}
        order = ["cg", "bust", "item", "cg", "ui", "bust", "item", "cg", "icon", "item"]
        seen, n = {k.lower() for k in keys}, 0
        while len(keys) < count and any(pools.values()):
            pool = pools[order[n % len(order)]]
            n += 1
            while pool:
                key = pool.pop(0)
                if key.lower() not in seen:  # unique also on case-insensitive file systems
                    seen.add(key.lower())
                    keys.append(key)
                    break
        return keys[:count]

    def images(self, keys):
        plans = [image_plan(self.rng, key, self.cfg["image_scale"]) for key in keys]
        scale_noise(plans, self.cfg["image_bytes"])
        return {key: draw_png(self.rng, plan) for key, plan in zip(keys, plans)}


# PNG drawing: a gradient or transparent background, a few solid bars, a head for busts, and
# one textured panel of random bytes, full or grain, that gives the file its weight.

BASE_DIMS = {"title": (1280, 720, False), "menu_bg": (1280, 720, False), "cg": (1280, 720, False),
             "chars": (512, 768, True), "items": (128, 128, True), "icons": (64, 64, True),
             "ui": (320, 96, True), "icon": (96, 96, True)}


def image_plan(rng, key, scale):
    parts = key.split("/")
    kind = parts[-1] if parts[-1] in ("title", "menu_bg") else parts[1]
    if kind == "ui" and parts[-1].startswith("panel"):
        kind = "ui_panel"
    if parts[-1].startswith("!"):
        kind = "icon"
    w, h, alpha = BASE_DIMS.get(kind, (640, 360, False))
    f = rng.uniform(0.75, 1.3)
    w, h = max(4, int(w * f * scale)), max(4, int(h * f * scale))
    return {"w": w, "h": h, "alpha": alpha, "bust": kind == "chars",
            "noise": rng.uniform(0.05, 0.5), "grain": rng.random() < 0.35}


def scale_noise(plans, target):
    """Scales the textured panels so that the PNGs add up to about `target` bytes."""
    def weight(p):
        return p["w"] * p["h"] * (4 if p["alpha"] else 3) * (0.68 if p["grain"] else 1.02)
    fixed = 120 * len(plans)  # signature, chunks and the compressed drawn parts, roughly
    for _ in range(12):
        est = sum(weight(p) * p["noise"] for p in plans) + fixed
        free = [p for p in plans if p["noise"] < 0.9]
        if not free or abs(est - target) < target * 0.01:
            break
        factor = 1 + (target - est) / max(1.0, sum(weight(p) * p["noise"] for p in free))
        for p in free:
            p["noise"] = min(0.9, max(0.0, p["noise"] * factor))


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def draw_png(rng, plan):
    w, h, alpha = plan["w"], plan["h"], plan["alpha"]
    bpp = 4 if alpha else 3
    rgb = lambda: [rng.randrange(256) for _ in range(3)]
    top, bottom = rgb(), rgb()
    rows = []
    for y in range(h):
        t = y / max(1, h - 1)
        c = [int(a + (b - a) * t) for a, b in zip(top, bottom)]
        if alpha:
            c.append(0 if plan["bust"] else 255)
        rows.append(bytearray(bytes(c) * w))
    # Bars, like lines of text or frames.
    for _ in range(rng.randint(2, 6)):
        x0, y0 = rng.randrange(w), rng.randrange(h)
        x1, y1 = rng.randint(x0 + 1, w), min(h, y0 + rng.randint(1, max(1, h // 6)))
        fill = bytes(rgb() + [255] * (bpp - 3)) * (x1 - x0)
        for y in range(y0, y1):
            rows[y][x0 * bpp:x1 * bpp] = fill
    if plan["bust"]:  # a head over shoulders
        cx, cy, rx, ry = w // 2, h // 3, max(1, w // 5), max(1, h // 6)
        skin = bytes(rgb() + [255])
        for y in range(max(0, cy - ry), min(h, cy + ry)):
            dx = int(rx * max(0.0, 1 - ((y - cy) / ry) ** 2) ** 0.5)
            if dx:
                rows[y][(cx - dx) * bpp:(cx + dx) * bpp] = skin * (2 * dx)
        body = bytes(rgb() + [255]) * (w - 2 * (w // 8))
        for y in range(min(h, cy + ry), h):
            rows[y][(w // 8) * bpp:(w - w // 8) * bpp] = body
    # The textured panel.
    area = int(w * h * plan["noise"])
    if area:
        pw = min(w, max(-(-area // h), int((area * rng.uniform(0.5, 2.0)) ** 0.5)))
        ph = max(1, min(h, area // pw))
        px, py = rng.randint(0, w - pw), rng.randint(0, h - ph)
        noise = rng.randbytes(pw * ph * bpp)
        if plan["grain"]:
            base = rng.randrange(0, 224)
            noise = noise.translate(bytes(base + (i & 31) for i in range(256)))
        view, step = memoryview(noise), pw * bpp
        for j in range(ph):
            rows[py + j][px * bpp:(px + pw) * bpp] = view[j * step:(j + 1) * step]
    raw = b"".join(b"\x00" + bytes(r) for r in rows)
    header = struct.pack(">IIBBBBB", w, h, 8, 6 if alpha else 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header)
            + png_chunk(b"IDAT", zlib.compress(raw, 6)) + png_chunk(b"IEND", b""))


# The record.

def assemble(parts, label):
    """Builds the record in its standard key order; text_lut holds the item descriptions, then
    every dialogue block and choice option in play order."""
    text_lut = {}
    for iid in parts["items"]:
        text_lut[iid] = list(parts["descs"][iid])
    for entries in parts["sections"].values():
        for entry in entries:
            for cid in entry["text"]:
                text_lut[cid] = list(parts["lines"][cid])
    rec = {"ver_hash": "", "lng_name": "English", "lng_info": list(CREDITS),
           "fnt_face": "GameFont", "fnt_size": 28, "fnt_data": None,
           "sys_lbls": parts["labels"], "sys_menu": parts["menus"], "actr_lut": parts["actors"],
           "item_lut": parts["items"], "text_lut": text_lut, "img_data": parts["images"],
           "sections": parts["sections"]}
    rec["ver_hash"] = label + " : " + data_hash(rec)
    return rec


def next_version(story, parts, seed):
    """The next release of the same story: renamed, added and removed ids, one more section,
    one image added, one removed and one redrawn."""
    rng = story.rng = random.Random(seed * 1_000_003 + 2)
    sections, lines = parts["sections"], parts["lines"]
    for entries in sections.values():
        for entry in entries:
            entry["text"] = [RENAMED_IDS.get(cid, cid) for cid in entry["text"]]
    for old, new in RENAMED_IDS.items():
        lines[new] = lines.pop(old)
    story.used.update(RENAMED_IDS.values())

    oddvar = story.unique_key("oddvar")
    parts["actors"][oddvar] = "Captain Oddvar"
    story.voices.append(oddvar)
    story.weights.append(3.0)
    mute = next(k for k, v in parts["actors"].items() if not v)
    del parts["actors"][mute]
    parts["actors"][story.unique_key("sys_announcer")] = ""

    talk = [(key, i) for key, entries in sections.items() for i, e in enumerate(entries)
            if e["name"] != CHOICES and e["text"][0] not in RENAMED_IDS.values()]
    dropped = rng.sample(talk, max(1, len(talk) // 100))
    for key, i in sorted(dropped, key=lambda x: -x[1]):
        del lines[sections[key][i]["text"][0]]
        del sections[key][i]
    for _ in range(max(2, len(talk) // 100)):
        entries = sections[rng.choice(list(sections))]
        entries.insert(rng.randint(1, len(entries)), story.block(lines, rng.randint(1, 3)))
    for _ in range(max(1, len(talk) // 100)):  # rewritten lines keep their ids
        entries = [e for e in sections[rng.choice(list(sections))] if e["name"] != CHOICES]
        text = lines[rng.choice(entries)["text"][0]]
        text[rng.randrange(len(text))] = story.line()
    short = [e for es in sections.values() for e in es
             if e["name"] == CHOICES and len(e["text"]) < 4]
    if short:
        cid = story.new_id()
        lines[cid] = [story.fill(rng.choice(OPTIONS))]
        short[0]["text"].append(cid)
    quota = max(4, story.cfg["lines"] // story.cfg["sections"] // 2)
    sections[story.unique_key("dlc01_homecoming.json")] = story.section(quota, lines)

    items = list(parts["items"])
    for iid in rng.sample(items[1:], max(1, len(items) // 100)):
        del parts["items"][iid], parts["descs"][iid]
    for _ in range(max(1, len(items) // 100)):
        iid, name, desc = story.item(story.per_slug)
        parts["items"][iid], parts["descs"][iid] = name, desc

    labels = parts["labels"]
    del labels[rng.choice(list(labels)[1:])]
    labels[story.unique_key("lbl_dlc_unlocked")] = "New episode unlocked: “Homecoming”"
    labels[story.unique_key("lbl_photo_mode")] = "Photo mode (beta)"
    parts["menus"][story.unique_key("m_photo")] = "Photo Mode 📷"

    images = parts["images"]
    del images[rng.choice(list(images)[4:] or list(images)[1:])]
    share = story.cfg["image_bytes"] / len(images)
    for key in ("img/ui/title", "img/ui/dlc_banner"):
        plan = image_plan(rng, key, story.cfg["image_scale"])
        plan["noise"] = min(0.9, share / (plan["w"] * plan["h"] * 3))
        images[key] = draw_png(rng, plan)


def make_record(size="tiny", seed=DEFAULT_SEED, version=1):
    """The record of one version (1, or 2 for the next release) of the game's English data."""
    if size not in SIZES:
        raise ValueError(f"unknown size {size!r}; one of {', '.join(SIZES)}")
    if version not in VERSION_LABELS:
        raise ValueError(f"unknown version {version!r}; one of {list(VERSION_LABELS)}")
    story = Story(size, seed)
    parts = {"actors": story.speakers()}
    parts["items"], parts["descs"] = story.items()
    parts["labels"] = story.table(LABELS, story.cfg["labels"], "lbl_")
    parts["menus"] = story.table(MENUS, story.cfg["menus"], "m_")
    parts["sections"], parts["lines"] = story.sections()
    parts["images"] = story.images(story.image_keys(list(parts["items"])))
    if version >= 2:
        next_version(story, parts, seed)
    return assemble(parts, VERSION_LABELS[version])


# A translated project: every text changed the way a translator changes it, within the rules
# above (no ":" or "(" added, no line breaks, speaker names stay unique and are never "Narrator").

GLOSSARY = {"the": "el", "a": "un", "and": "y", "you": "tú", "I": "yo", "is": "es", "to": "a",
            "of": "de", "in": "en", "OK": "Vale", "No": "No", "Yes": "Sí", "Back": "Volver",
            "New": "Nueva", "Game": "Partida", "Load": "Cargar", "Old": "Viejo", "Key": "Llave",
            "Letter": "Carta", "Guard": "Guardia", "Merchant": "Mercader", "Sailor": "Marinero"}
QUOTES = [("«", "»"), ("‹", "›")]
TABLES = ("sys_lbls", "sys_menu", "actr_lut", "item_lut", "text_lut")


def translate_text(text, rng):
    """The text translated: blanks around it kept, known words replaced, the rest quoted."""
    if not text:
        return text
    core = text.strip(" \u3000")
    lead = text[:len(text) - len(text.lstrip(" \u3000"))]
    trail = text[len(lead) + len(core):]
    opening, closing = rng.choice(QUOTES)
    words = " ".join(GLOSSARY.get(w, w) for w in core.split(" "))
    return f"{lead}{opening}{words}{closing}{trail}"


def translate_record(rec, seed=DEFAULT_SEED):
    """A copy of the record with every text of its tables, its language name and its credits
    translated; empty texts stay empty (there is nothing to translate)."""
    rng = random.Random(seed * 7_919 + 5)
    out = dict(rec)
    out["lng_name"] = "Español"
    out["lng_info"] = [translate_text(line, rng) for line in rec["lng_info"]]
    for table in TABLES:
        out[table] = {key: ([translate_text(line, rng) for line in value]
                            if isinstance(value, list) else translate_text(value, rng))
                      for key, value in rec[table].items()}
    names = [name for name in out["actr_lut"].values() if name]
    assert len(set(names)) == len(names) and "Narrator" not in names
    return out


def release_changes(old, new):
    """Per table, (keys the newer record added, keys it removed), the renamed content ids
    counted under their new ids."""
    changes = {}
    for table in TABLES:
        before = set(old[table])
        if table == "text_lut":
            before = {RENAMED_IDS.get(key, key) for key in before}
        changes[table] = (set(new[table]) - before, before - set(new[table]))
    return changes


def revise_english(rec, seed=DEFAULT_SEED, share=0.1, stamp="Episode 4 v1.4.0"):
    """A later release of `rec` and what it changed, marked: the English of about `share` of
    each table's non-empty texts rewritten under the same ids, one key of each table dropped
    and one added, and a new version stamp. Returns (record, {table: {"changed": ids,
    "added": ids, "removed": ids}}). Only labels, menus and items are dropped (an item with
    its description); the added dialogue line is appended to the last section, the added
    item comes with a description."""
    rng = random.Random(seed * 104_729 + len(rec["text_lut"]))
    out = {key: (dict(value) if isinstance(value, dict) else value) for key, value in rec.items()}
    out["ver_hash"] = f"{stamp} : {hash_string(stamp + str(seed))}"
    spoken = {cid for entries in rec["sections"].values() for e in entries for cid in e["text"]}
    marks = {}
    for table in TABLES:
        values = out[table]
        keys = [k for k, v in values.items() if v and (table != "text_lut" or k in spoken)]
        changed = set(rng.sample(keys, max(1, int(len(keys) * share))))
        for key in changed:
            value = values[key]
            values[key] = ([line + " (revised)" for line in value] if isinstance(value, list)
                           else value + " (revised)")
        # A dropped key: a label, menu or an item and speaker not shown anywhere.
        unused = [k for k in values if k not in changed and k not in spoken
                  and k not in rec["item_lut"] and k not in rec["actr_lut"]]
        if table == "item_lut":
            unused = [k for k in values if k not in changed]
        removed = set(rng.sample(unused, 1)) if table in ("sys_lbls", "sys_menu", "item_lut") \
            else set()
        for key in removed:
            del values[key]
            if table == "item_lut":
                out["text_lut"] = {k: v for k, v in out["text_lut"].items() if k != key}
        new_key = f"r3_{table}_{rng.randrange(10**6):06d}"
        values[new_key] = ["A line added later."] if table == "text_lut" else "Added later"
        if table == "text_lut":
            last = list(out["sections"])[-1]
            out["sections"] = dict(out["sections"])
            out["sections"][last] = list(out["sections"][last]) + [
                {"name": next(k for k, v in out["actr_lut"].items() if v), "text": [new_key]}]
        marks[table] = {"changed": changed, "added": {new_key}, "removed": removed}
    marks["text_lut"]["removed"] |= marks["item_lut"]["removed"]
    for key in marks["item_lut"]["added"]:
        out["text_lut"][key] = ["Described later."]
        marks["text_lut"]["added"].add(key)
    marks["text_lut"]["changed"] -= marks["text_lut"]["removed"]
    return out, marks


def encode(rec, protocol=4):
    """The bytes of a lang.dat holding `rec`."""
    return zlib.compress(pickle.dumps(rec, protocol=protocol), 6)


def write_lang_dat(path, size="tiny", seed=DEFAULT_SEED, version=1, protocol=4):
    """Writes a lang.dat at `path` (atomically) and returns the record."""
    rec = make_record(size, seed, version)
    path = pathlib.Path(path)
    path.parent.mkdir(parents=True, exist_ok=True)
    tmp = path.with_name(f".{path.name}.{os.getpid()}.tmp")
    tmp.write_bytes(encode(rec, protocol))
    os.replace(tmp, path)
    return rec


def cache_dir():
    """Where generated files live between runs: $VERBIX_DATA_CACHE or ~/.cache/verbix/game_data."""
    env = os.environ.get("VERBIX_DATA_CACHE")
    return pathlib.Path(env) if env else pathlib.Path.home() / ".cache" / "verbix" / "game_data"


def game_data_cache(size="large", seed=DEFAULT_SEED, version=1, protocol=4):
    """The path of a cached lang.dat for these arguments, written first if it is not there. The
    name carries a digest of this script, so a changed generator never serves stale data."""
    rev = hashlib.sha256(pathlib.Path(__file__).read_bytes()).hexdigest()[:10]
    stem = f"lang_{size}_v{version}_p{protocol}_s{seed}_"
    folder = cache_dir()
    path = folder / f"{stem}{rev}.dat"
    if not path.is_file():
        write_lang_dat(path, size, seed, version, protocol)
        for old in folder.glob(stem + "*.dat"):
            if old != path:
                old.unlink(missing_ok=True)
    return path


def main(argv=None):
    ap = argparse.ArgumentParser(description="Write fictional game language data (lang.dat).")
    ap.add_argument("--size", choices=list(SIZES), default="tiny")
    ap.add_argument("--protocol", type=int, choices=range(6), default=4, metavar="0..5")
    ap.add_argument("--seed", type=int, default=DEFAULT_SEED)
    ap.add_argument("--version", type=int, choices=sorted(VERSION_LABELS), default=1,
                    help="1: the current release, 2: the next one")
    ap.add_argument("--next-version", action="store_const", const=2, dest="version",
                    help="same as --version 2")
    where = ap.add_mutually_exclusive_group()
    where.add_argument("--out", default="lang.dat", help="file to write (default lang.dat)")
    where.add_argument("--cache", action="store_true",
                       help="write into the cache folder (reused when present); print the path")
    args = ap.parse_args(argv)
    start = time.perf_counter()
    if args.cache:
        path = game_data_cache(args.size, args.seed, args.version, args.protocol)
        print(path)
        return 0
    rec = write_lang_dat(args.out, args.size, args.seed, args.version, args.protocol)
    lines = sum(len(rec["text_lut"][e["text"][0]]) for es in rec["sections"].values()
                for e in es if e["name"] != CHOICES)
    print(f"{args.out}: {os.path.getsize(args.out):,} bytes in {time.perf_counter() - start:.1f} s;"
          f" {rec['ver_hash']}; {len(rec['sections'])} sections, {lines:,} dialogue lines,"
          f" {len(rec['text_lut']):,} content ids, {len(rec['actr_lut'])} speakers,"
          f" {len(rec['item_lut'])} items, {len(rec['img_data'])} images of"
          f" {sum(map(len, rec['img_data'].values())):,} bytes", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
