; Slots of the rule base's own, one of them a multislot, one without a default:
; harmless, every slot gets its default before a fact is asserted.
(deftemplate world (slot food_supply) (slot change_FS) (multislot notes) (slot mood (default ?NONE)))
(deftemplate colony (slot food_reserves) (slot population) (slot change_FR) (slot num_gathering_ants) (multislot history))
(defrule conclude (world (notes)) (colony (history)) => (assert (lower_food_intake)))
