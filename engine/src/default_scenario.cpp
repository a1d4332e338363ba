// The built-in scenario: the one-segment services receivable in Tokyo, the
// ISDB-T country and prefecture tables, a tuner and the file sources.
#include <string_view>

#include "world.h"

namespace zantsim {

namespace {

// Frequencies are the UHF channel centres (473143 + (ch - 13) * 6000 kHz).
constexpr std::string_view kDefaultXml = R"XML(<?xml version="1.0" encoding="UTF-8"?>
<scenario>
  <device id="1" name="ISDB-T Tuner" type="0x40040001"/>
  <device id="2" name="TS File Source" type="0x11000001"/>
  <device id="3" name="CMMB File Source" type="0x10100001"/>
  <device id="4" name="Media File Source" type="0x11000002"/>

  <ca id="0410 3312 5567 9021" kdaversion="0x0107" scrambledstatus="0x80000002"/>
  <battery level="86" charging="0"/>

  <country id="81" name="日本" standard="4">
    <region id="1" name="北海道"/><region id="2" name="青森県"/><region id="3" name="岩手県"/>
    <region id="4" name="宮城県"/><region id="5" name="秋田県"/><region id="6" name="山形県"/>
    <region id="7" name="福島県"/><region id="8" name="茨城県"/><region id="9" name="栃木県"/>
    <region id="10" name="群馬県"/><region id="11" name="埼玉県"/><region id="12" name="千葉県"/>
    <region id="13" name="東京都"/><region id="14" name="神奈川県"/><region id="15" name="新潟県"/>
    <region id="16" name="富山県"/><region id="17" name="石川県"/><region id="18" name="福井県"/>
    <region id="19" name="山梨県"/><region id="20" name="長野県"/><region id="21" name="岐阜県"/>
    <region id="22" name="静岡県"/><region id="23" name="愛知県"/><region id="24" name="三重県"/>
    <region id="25" name="滋賀県"/><region id="26" name="京都府"/><region id="27" name="大阪府"/>
    <region id="28" name="兵庫県"/><region id="29" name="奈良県"/><region id="30" name="和歌山県"/>
    <region id="31" name="鳥取県"/><region id="32" name="島根県"/><region id="33" name="岡山県"/>
    <region id="34" name="広島県"/><region id="35" name="山口県"/><region id="36" name="徳島県"/>
    <region id="37" name="香川県"/><region id="38" name="愛媛県"/><region id="39" name="高知県"/>
    <region id="40" name="福岡県"/><region id="41" name="佐賀県"/><region id="42" name="長崎県"/>
    <region id="43" name="熊本県"/><region id="44" name="大分県"/><region id="45" name="宮崎県"/>
    <region id="46" name="鹿児島県"/><region id="47" name="沖縄県"/>
  </country>
  <country id="55" name="Brasil" standard="4">
    <region id="35" name="São Paulo"/><region id="33" name="Rio de Janeiro"/><region id="31" name="Minas Gerais"/>
  </country>

  <channel onid="0x7FE0" tsid="0x7FE0" sid="0x0588" name="NHK総合1・東京" display="NHK総合・東京" provider="NHK"
           type="2" number="611" key="1" freq="557143" bw="6000" uhf="27" regions="8 9 10 11 12 13 14" signal="78">
    <audio lang="jpn" name="日本語" tag="0x83"/>
    <audio lang="eng" name="English" tag="0x84"/>
    <subtitle lang="jpn" name="日本語字幕" tag="0x87"/>
    <programme minutes="60" title="ニュース">国内外の最新ニュースと気象情報。</programme>
    <programme minutes="30" title="あさイチ">暮らしに役立つ情報を生放送で。</programme>
    <programme minutes="45" title="連続テレビ小説">朝の連続ドラマ。</programme>
    <programme minutes="15" title="気象情報">全国の天気と週間予報。</programme>
  </channel>
  <channel onid="0x7FE1" tsid="0x7FE1" sid="0x05A8" name="NHKEテレ1東京" display="NHK Eテレ・東京" provider="NHK"
           type="2" number="621" key="2" freq="551143" bw="6000" uhf="26" regions="8 9 10 11 12 13 14" signal="74">
    <audio lang="jpn" name="日本語" tag="0x83"/>
    <subtitle lang="jpn" name="日本語字幕" tag="0x87"/>
    <programme minutes="30" title="おかあさんといっしょ">歌と体操と人形劇。</programme>
    <programme minutes="15" title="ピタゴラスイッチ">考え方を楽しく伝える番組。</programme>
    <programme minutes="45" title="基礎英語">中学生のための英語講座。</programme>
  </channel>
  <channel onid="0x7FE2" tsid="0x7FE2" sid="0x05C8" name="日テレ1" display="日本テレビ" provider="日本テレビ"
           type="2" number="641" key="4" freq="545143" bw="6000" uhf="25" regions="8 9 10 11 12 13 14" signal="81">
    <audio lang="jpn" name="日本語" tag="0x83"/>
    <subtitle lang="jpn" name="日本語字幕" tag="0x87"/>
    <programme minutes="60" title="ZIP!">朝の情報番組。</programme>
    <programme minutes="120" title="金曜ロードショー" rating="12">話題の映画を放送。</programme>
    <programme minutes="30" title="news every.">夕方のニュース。</programme>
  </channel>
  <channel onid="0x7FE5" tsid="0x7FE5" sid="0x05F8" name="テレ朝1" display="テレビ朝日" provider="テレビ朝日"
           type="2" number="651" key="5" freq="539143" bw="6000" uhf="24" regions="8 9 10 11 12 13 14" signal="69">
    <audio lang="jpn" name="日本語" tag="0x83"/>
    <programme minutes="60" title="グッド!モーニング">ニュースと情報。</programme>
    <programme minutes="60" title="報道ステーション">夜のニュース。</programme>
  </channel>
  <channel onid="0x7FE3" tsid="0x7FE3" sid="0x05D8" name="TBS1" display="TBSテレビ" provider="TBS"
           type="2" number="661" key="6" freq="527143" bw="6000" uhf="22" regions="8 9 10 11 12 13 14" signal="72">
    <audio lang="jpn" name="日本語" tag="0x83"/>
    <programme minutes="90" title="THE TIME,">朝の情報番組。</programme>
    <programme minutes="60" title="日曜劇場">連続ドラマ。</programme>
  </channel>
  <channel onid="0x7FE6" tsid="0x7FE6" sid="0x0608" name="テレビ東京1" display="テレビ東京" provider="テレビ東京"
           type="2" number="671" key="7" freq="533143" bw="6000" uhf="23" regions="8 9 10 11 12 13 14" signal="66">
    <audio lang="jpn" name="日本語" tag="0x83"/>
    <programme minutes="60" title="モーサテ">経済ニュース。</programme>
    <programme minutes="30" title="WBS">ワールドビジネスサテライト。</programme>
  </channel>
  <channel onid="0x7FE4" tsid="0x7FE4" sid="0x05E8" name="フジテレビ" display="フジテレビ" provider="フジテレビ"
           type="2" number="681" key="8" freq="521143" bw="6000" uhf="21" regions="8 9 10 11 12 13 14" signal="75">
    <audio lang="jpn" name="日本語" tag="0x83"/>
    <programme minutes="60" title="めざましテレビ">朝の情報番組。</programme>
    <programme minutes="54" title="月9ドラマ">月曜夜のドラマ。</programme>
  </channel>
  <channel onid="0x7FE7" tsid="0x7FE7" sid="0x5C38" name="TOKYO MX1" display="TOKYO MX" provider="TOKYO MX"
           type="2" number="691" key="9" freq="491143" bw="6000" uhf="16" regions="13" signal="58">
    <audio lang="jpn" name="日本語" tag="0x83"/>
    <programme minutes="30" title="5時に夢中!">夕方の生放送。</programme>
    <programme minutes="60" title="東京ニュース">都内のニュース。</programme>
  </channel>
  <channel onid="0x7FE8" tsid="0x7FE8" sid="0x5E78" name="放送大学ラジオ" display="放送大学ラジオ" provider="放送大学"
           type="3" number="121" key="12" freq="563143" bw="6000" uhf="28" regions="8 9 10 11 12 13 14" signal="63">
    <audio lang="jpn" name="日本語" tag="0x83"/>
    <programme minutes="45" title="教養講座">大学の講義を放送。</programme>
  </channel>
  <channel onid="0x7FE9" tsid="0x7FE9" sid="0x5F08" name="ワンセグ有料1" display="ワンセグ有料放送" provider="ワンセグ有料"
           type="2" number="1032" key="3" freq="569143" bw="6000" uhf="29" regions="13 14" signal="55" scrambled="1">
    <audio lang="jpn" name="日本語" tag="0x83"/>
    <programme minutes="120" title="プレミアム映画" rating="15">契約者向けの映画。</programme>
  </channel>
</scenario>
)XML";

}  // namespace

std::string_view defaultScenarioXml() { return kDefaultXml; }

}  // namespace zantsim
