#include "app/AgreementText.h"

const std::array<std::string, kAgreementBlockCount>& agreementBlocks()
{
    static const std::array<std::string, kAgreementBlockCount> blocks{
        // 1: heading, title line, introduction
        "IMPORTANT:  READ BEFORE USING THIS SOFTWARE\n\n"
        "TARVEL VERIFICATION AND UPGRADE UTILITY, VERSION 1.0 - SOFTWARE LICENCE AGREEMENT\n\n"
        "This licence agreement is a legal agreement between you, either an individual or a "
        "single organisation, and Tarvel Networks Limited (\"Tarvel\") for the Tarvel "
        "Verification and Upgrade Utility, which includes the computer program, the firmware "
        "files supplied with it, any printed or electronic documentation and any updates that "
        "Tarvel may provide (together the \"Software\"). By installing, copying or otherwise "
        "using the Software you agree to be bound by the terms of this agreement. If you do not "
        "agree to these terms, do not use the Software. Please read the whole agreement before you "
        "continue: the utility will restart your router module, may erase its configuration and "
        "will replace the firmware that it runs.",

        // 2: licence grant
        "\n\nLICENCE GRANT:  Subject to the terms of this agreement, Tarvel grants you a "
        "non-exclusive, non-transferable licence to use the Software for the sole purpose of "
        "verifying and upgrading the firmware of Tarvel router modules that you own or that you "
        "are authorised to maintain. The Software is licensed, not sold. All rights not "
        "expressly granted to you in this agreement are reserved by Tarvel. The licence covers the "
        "version of the Software that accompanies this agreement and any update that Tarvel "
        "supplies for it, unless the update comes with an agreement of its own.",

        // 3: installation and use
        "\n\nYou may install and use the Software on any number of computers within your "
        "organisation, provided that each copy is used only with Tarvel router modules. You may "
        "make one copy of the Software for backup or archival purposes, provided that the copy "
        "carries all copyright and other proprietary notices that appear on the original. You "
        "may not use the Software to load firmware that was not supplied by Tarvel, and you may "
        "not rent, lease, lend or host the Software for the use of others. You are responsible for "
        "making sure that every person who uses the Software on your behalf has read and "
        "accepted this agreement.",

        // 4: assignment; no reverse engineering
        "\n\nASSIGNMENT; NO REVERSE ENGINEERING:  You may not assign, sublicense or otherwise "
        "transfer this licence or the Software to any other person without the prior written "
        "consent of Tarvel. Any attempt to do so without that consent is void. You may not "
        "reverse engineer, decompile or disassemble the Software or the firmware files, except "
        "to the extent that such activity is expressly permitted by applicable law "
        "notwithstanding this limitation.",

        // 5: modification, reverse engineering, interoperability information
        "\n\nYou may not modify, adapt, translate or create derivative works based on the "
        "Software or any part of it, nor merge it into other software. Where the law of your "
        "country gives you the right to decompile the Software in order to obtain the "
        "information needed to make it interoperate with other programs, you must first ask "
        "Tarvel in writing for that information; Tarvel may supply it on reasonable terms, "
        "and any information so obtained may be used only for that purpose and must not be "
        "passed on to others. Tarvel may refuse such a request where the information is already "
        "available to you through its published documentation.",

        // 6: export restrictions
        "\n\nEXPORT RESTRICTIONS:  You agree that you will not export or re-export the "
        "Software, or any product that contains it, to any country, person or entity to which "
        "such export is restricted by the export control laws and regulations that apply to "
        "you or to Tarvel, without first obtaining every licence and approval that those laws "
        "and regulations require. You represent that you are not located in, under the control "
        "of, or a national or resident of any country to which such export is prohibited.",

        // 7: trade secrets; title
        "\n\nTRADE SECRETS; TITLE:  You acknowledge that the structure, organisation and code "
        "of the Software are valuable trade secrets and confidential information of Tarvel and "
        "its suppliers, and you agree to keep them confidential. Title to the Software, to all "
        "copies of it and to all intellectual property rights in it remains with Tarvel and its "
        "suppliers at all times.",

        // 8: government legends
        "\n\nGOVERNMENT LEGENDS:  If the Software is acquired by or on behalf of a government "
        "body or agency, it is provided as commercial computer software developed at private "
        "expense, with restricted rights only. Use, duplication or disclosure by such a body "
        "is subject to the restrictions set out in this agreement and in the procurement rules "
        "that apply to it. The manufacturer is Tarvel Networks Limited at the address given at "
        "the end of this agreement.",

        // 9: term and termination
        "\n\nTERM AND TERMINATION:  This licence is effective until terminated. You may "
        "terminate it at any time by destroying the Software and all copies of it. The licence "
        "ends automatically, without notice from Tarvel, if you fail to comply with any of its "
        "terms. On termination you must destroy the Software and all copies of it, and the "
        "sections of this agreement on trade secrets, warranties and liability survive. "
        "Termination does not affect any right or remedy that either party has accrued before "
        "it.",

        // 10: no warranties
        "\n\nNO WARRANTIES:  The Software is provided \"as is\" without warranty of any kind. "
        "To the maximum extent permitted by law, Tarvel and its suppliers disclaim all "
        "warranties, either express or implied, including but not limited to implied "
        "warranties of merchantability, fitness for a particular purpose and non-infringement. "
        "Tarvel does not warrant that the Software will meet your requirements, that its "
        "operation will be uninterrupted or error free, or that an upgrade will succeed on "
        "every module. No oral or written information or advice given by Tarvel, its dealers, "
        "distributors or employees creates a warranty or in any way increases the scope of "
        "this disclaimer, and you may not rely on any such information or advice. Some "
        "jurisdictions do not allow the exclusion of implied warranties, so the above "
        "exclusion may not apply to you in full.",

        // 11: limitation of liability
        "\n\nLIMITATION OF LIABILITY:  In no event shall Tarvel or its suppliers be liable for "
        "any special, incidental, indirect or consequential damages whatsoever, including "
        "damages for loss of business profits, business interruption, loss of configuration "
        "information or other data, or any other pecuniary loss, arising out of the use of or "
        "the inability to use the Software, even if Tarvel has been advised of the possibility "
        "of such damages. In any case the entire liability of Tarvel under this agreement is "
        "limited to the amount actually paid by you for the Software, if any. Nothing in this "
        "agreement limits liability for death or personal injury caused by negligence, or any "
        "other liability that cannot be limited or excluded by law.",

        // 12: disclaimer
        "\n\nDISCLAIMER:  An upgrade of the firmware replaces the program that runs your router "
        "module and may, if interrupted or if the wrong files are used, leave the module "
        "unusable or erase its configuration. You are responsible for keeping an off-line copy "
        "of the configuration, for using the firmware files intended for your module and for "
        "keeping the module powered and connected until the upgrade has finished. Tarvel "
        "recommends that you let the utility verify the module before every upgrade and that "
        "you disconnect any expansion units from the module first.",

        // 13: governing law
        "\n\nGOVERNING LAW:  This agreement is governed by the laws of the country in which "
        "Tarvel has its registered office, without regard to its rules on conflicts of laws. "
        "The courts of that country have exclusive jurisdiction over any dispute arising out of "
        "or in connection with this agreement.",

        // 14: severability
        "\n\nSEVERABILITY:  If any provision of this agreement is held to be invalid or "
        "unenforceable, that provision shall be enforced to the maximum extent permissible and "
        "the remaining provisions of this agreement shall continue in full force and effect. A "
        "failure by Tarvel to enforce any provision is not a waiver of that provision or of "
        "the right to enforce it later.",

        // 15: entire agreement
        "\n\nENTIRE AGREEMENT:  This agreement is the entire agreement between you and Tarvel "
        "relating to the Software and supersedes all prior or contemporaneous oral or written "
        "communications, proposals and representations with respect to it, and it prevails over "
        "any conflicting term of any quote, order or acknowledgement. No amendment to or "
        "waiver of this agreement is binding unless it is made in writing and signed by an "
        "authorised representative of Tarvel.",

        // 16: accept, reject, trademark notice and address
        "\n\nIf you agree to the terms of this agreement, press the 'I accept' button.\n\n"
        "If you do not agree to the terms of this agreement, press the 'I reject' button to "
        "leave the utility.\n\n"
        "Tarvel and the Tarvel logo are trademarks of Tarvel Networks Limited. All other "
        "trademarks are the property of their respective owners.\n"
        "Tarvel Networks Limited\n"
        "Orlen Court, 27 Fennick Road\n"
        "Westbury Marsh WM7 2JD\n"
        "Telephone: +44 1632 960 581",
    };
    return blocks;
}

std::string agreementText()
{
    std::string text;
    for (const auto& block : agreementBlocks())
        text += block;
    return text;
}
