; A slot the expert system writes, declared as a multislot.
(deftemplate world (slot food_supply) (slot change_FS))
(deftemplate colony (slot food_reserves) (multislot population) (slot change_FR) (slot num_gathering_ants))
(defrule any (colony) => (assert (raise_population)))
